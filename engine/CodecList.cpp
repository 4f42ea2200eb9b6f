#include "engine/CodecList.h"

namespace {
std::mutex codecListLock;
int openCodecs = 0; // in every job's lists, under codecListLock
} // namespace

TCodecListGuard::TCodecListGuard() { codecListLock.lock(); }

TCodecListGuard::~TCodecListGuard() { codecListLock.unlock(); }

TOpenCodecs::~TOpenCodecs() {
    TCodecListGuard guard;
    openCodecs -= int(encoders_.size() + decoders_.size());
    encoders_.clear();
    decoders_.clear();
}

void TOpenCodecs::AddEncoder(TOutputStream& ost) {
    TCodecListGuard guard;
    encoders_.push_back(&ost);
    ++openCodecs;
}

void TOpenCodecs::AddDecoder(TInputStream& ist) {
    TCodecListGuard guard;
    decoders_.push_back(&ist);
    ++openCodecs;
}

void TOpenCodecs::CloseEncoders() {
    TCodecListGuard guard;
    while (!encoders_.empty()) {
        TOutputStream* ost = encoders_.front();
        encoders_.pop_front();
        --openCodecs;
        ost->EncoderThread.reset(); // an encoder running on a thread of its own: that thread ends first
        ost->Encoder.reset();       // the encoder reads its statistics input until it is freed
        ost->PassStats.clear();
    }
}

void TOpenCodecs::CloseDecoders() {
    TCodecListGuard guard;
    while (!decoders_.empty()) {
        TInputStream* ist = decoders_.front();
        decoders_.pop_front();
        --openCodecs;
        ist->Decoder.reset();
    }
}

int TOpenCodecs::EncoderCount() const {
    TCodecListGuard guard;
    return int(encoders_.size());
}

int TOpenCodecs::DecoderCount() const {
    TCodecListGuard guard;
    return int(decoders_.size());
}

int OpenCodecCount() {
    TCodecListGuard guard;
    return openCodecs;
}

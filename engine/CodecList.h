#pragma once
// The codecs a job has open, and the one lock that guards the lists of every job.
//
// A job links each encoder and decoder into its lists once it is open and, at the end of its
// run, closes whatever is still linked: the encoders, then the decoders, each list under the
// lock. The lock is process-wide and taken only to link, to unlink and for that close. It is
// never held together with a preview lock, and never taken while the codec lock is held
// (closing takes the codec lock inside it, opening links after the codec lock is released).
// While it is held, log lines of the thread that would wait for the user-interface thread are
// held back: that thread may be closing codecs of a job of its own and wait for the lock.

#include "engine/Streams.h"
#include "medialib/FFLog.h"

#include <list>
#include <mutex>

// Holds the codec list lock for its lifetime.
class TCodecListGuard {
public:
    TCodecListGuard();
    ~TCodecListGuard();
    TCodecListGuard(const TCodecListGuard&) = delete;
    TCodecListGuard& operator=(const TCodecListGuard&) = delete;

private:
    TLogDeferScope deferLog_; // made before the lock is taken, ended after it is released
};

class TOpenCodecs {
public:
    TOpenCodecs() = default;
    // Unlinks what is left without touching it: the stream records may be gone by then.
    ~TOpenCodecs();
    TOpenCodecs(const TOpenCodecs&) = delete;
    TOpenCodecs& operator=(const TOpenCodecs&) = delete;

    // Links an opened codec of a stream record that lives until it is closed here.
    void AddEncoder(TOutputStream& ost);
    void AddDecoder(TInputStream& ist);
    // Frees every linked encoder (with its two-pass statistics input) / decoder and unlinks it.
    void CloseEncoders();
    void CloseDecoders();
    int EncoderCount() const;
    int DecoderCount() const;

private:
    std::list<TOutputStream*> encoders_;
    std::list<TInputStream*> decoders_;
};

// The codecs open in all jobs together.
int OpenCodecCount();

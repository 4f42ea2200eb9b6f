// The built-in presets and the application of a preset's lines to a job.
//
// The libx264 presets are the classic preset files, written with today's option names of the
// libx264 wrapper: the flags2 bits became its switches (+dct8x8 is 8x8dct=1, +wpred weightb=1,
// +mixed_refs mixed-refs=1, +fastpskip fast-pskip=1, +mbtree mbtree=1, +bpyramid
// b-pyramid=normal), the partition flags its partition list, me_method motion-est, directpred
// and wpredp the named modes of direct-pred and weightp, rc_lookahead rc-lookahead, aq_mode
// aq-mode and cqp the constant quantiser qp. The loop filter flag no longer reaches libx264:
// deblocking is its default, and the presets that switched it off do so through x264-params.

#include "engine/PresetFiles.h"
#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <strings.h>
#include <vector>

namespace {
struct TBuiltinPreset {
    const char* Name;
    const char* Text;
};

const TBuiltinPreset BuiltinPresets[] = {
    {"libx264-baseline",
     "coder=0\nbf=0\nweightb=0\n8x8dct=0\nweightp=none\n"},
    {"libx264-default",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=7\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=3\ndirect-pred=spatial\ntrellis=1\nmixed-refs=1\nweightb=1\n"
     "8x8dct=1\nfast-pskip=1\n"},
    {"libx264-fast",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=6\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=2\ndirect-pred=spatial\ntrellis=1\nb-pyramid=normal\n"
     "mixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=smart\nrc-lookahead=30\n"},
    {"libx264-fast_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=smart\nrc-lookahead=30\n"},
    {"libx264-faster",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=4\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=2\ndirect-pred=spatial\ntrellis=1\nb-pyramid=normal\n"
     "mixed-refs=0\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=simple\nrc-lookahead=20\n"},
    {"libx264-faster_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=simple\nrc-lookahead=20\n"},
    {"libx264-fastfirstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=1\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=auto\ntrellis=0\nb-pyramid=none\nweightb=0\n"
     "mixed-refs=0\n8x8dct=0\nfast-pskip=1\n"},
    {"libx264-hq",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=umh\nsubq=8\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=4\ndirect-pred=auto\ntrellis=1\nweightb=1\nmixed-refs=1\n"
     "8x8dct=1\nfast-pskip=1\n"},
    {"libx264-ipod320",
     "coder=0\nbf=0\nweightb=0\n8x8dct=0\nmbtree=1\nlevel=13\nmaxrate=768000\nbufsize=3000000\n"
     "weightp=none\n"},
    {"libx264-ipod640",
     "coder=0\nbf=0\nrefs=1\nweightb=0\n8x8dct=0\nlevel=30\nmaxrate=10000000\nbufsize=10000000\n"
     "weightp=none\n"},
    {"libx264-lossless_fast",
     "coder=0\ncmp=+chroma\npartitions=i4x4,p8x8\nmotion-est=hex\nsubq=3\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\ndirect-pred=spatial\nfast-pskip=1\nmbtree=1\nqp=0\nweightp=none\n"},
    {"libx264-lossless_max",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4\nmotion-est=esa\nsubq=8\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nrefs=16\ndirect-pred=spatial\nmixed-refs=1\n8x8dct=1\nfast-pskip=1\nqp=0\n"},
    {"libx264-lossless_medium",
     "coder=1\ncmp=+chroma\npartitions=i4x4,p8x8,p4x4\nmotion-est=hex\nsubq=5\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\ndirect-pred=spatial\nfast-pskip=1\nqp=0\nweightp=smart\n"},
    {"libx264-lossless_slow",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4\nmotion-est=umh\nsubq=6\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nrefs=2\ndirect-pred=spatial\n8x8dct=1\nfast-pskip=1\nmbtree=1\nqp=0\n"
     "weightp=smart\n"},
    {"libx264-lossless_slower",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4\nmotion-est=umh\nsubq=8\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nrefs=4\ndirect-pred=spatial\nmixed-refs=1\n8x8dct=1\nfast-pskip=1\nqp=0\n"},
    {"libx264-lossless_ultrafast",
     "coder=0\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=0\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\ndirect-pred=spatial\nfast-pskip=1\nmbtree=1\nqp=0\n"},
    {"libx264-main",
     "8x8dct=0\n"},
    {"libx264-max",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4,b8x8\nmotion-est=tesa\nsubq=10\n"
     "me_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\n"
     "qcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=16\ndirect-pred=auto\ntrellis=2\n"
     "weightb=1\nmixed-refs=1\n8x8dct=1\nfast-pskip=0\n"},
    {"libx264-medium",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=7\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=0\n"
     "qmax=69\nqdiff=4\nbf=3\nrefs=3\ndirect-pred=spatial\ntrellis=1\nb-pyramid=normal\n"
     "mixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=smart\n"},
    {"libx264-medium_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=0\nqmax=69\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=smart\n"},
    {"libx264-normal",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=6\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=2\ndirect-pred=auto\ntrellis=0\nweightb=1\n8x8dct=1\n"
     "fast-pskip=1\n"},
    {"libx264-placebo",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4,b8x8\nmotion-est=tesa\nsubq=10\n"
     "me_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\n"
     "qcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=16\nrefs=16\ndirect-pred=auto\ntrellis=2\n"
     "b-pyramid=normal\nmixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=0\nweightp=smart\n"
     "rc-lookahead=60\n"},
    {"libx264-placebo_firstpass",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4,b8x8\nmotion-est=tesa\nsubq=10\n"
     "me_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\n"
     "qcomp=0.6\nqmin=0\nqmax=69\nqdiff=4\nbf=16\nrefs=16\ndirect-pred=auto\ntrellis=2\n"
     "b-pyramid=normal\nmixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=0\nweightp=smart\n"
     "rc-lookahead=60\n"},
    {"libx264-slow",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=umh\nsubq=8\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=5\ndirect-pred=auto\ntrellis=1\nb-pyramid=normal\n"
     "mixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=smart\nrc-lookahead=50\n"},
    {"libx264-slow_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=auto\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=smart\nrc-lookahead=50\n"},
    {"libx264-slower",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4,b8x8\nmotion-est=umh\nsubq=9\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\n"
     "qcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=8\ndirect-pred=auto\ntrellis=2\n"
     "b-pyramid=normal\nmixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=smart\n"
     "rc-lookahead=60\n"},
    {"libx264-slower_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=auto\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=smart\nrc-lookahead=60\n"},
    {"libx264-slowfirstpass",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=6\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirect-pred=auto\ntrellis=0\nweightb=1\n8x8dct=1\n"
     "fast-pskip=1\n"},
    {"libx264-superfast",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4\nmotion-est=dia\nsubq=1\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=1\nfast-pskip=1\nmbtree=0\nweightp=none\nrc-lookahead=0\n"},
    {"libx264-superfast_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=1\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nmbtree=0\nweightp=none\nrc-lookahead=0\n"},
    {"libx264-ultrafast",
     "coder=0\nx264-params=no-deblock=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=0\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=0\ni_qfactor=0.71\nb_strategy=0\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=0\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=none\n"
     "mixed-refs=0\nweightb=0\n8x8dct=0\nfast-pskip=1\nmbtree=0\nweightp=none\naq-mode=0\n"
     "rc-lookahead=0\n"},
    {"libx264-ultrafast_firstpass",
     "coder=0\nx264-params=no-deblock=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=0\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=0\ni_qfactor=0.71\nb_strategy=0\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=0\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=none\n"
     "mixed-refs=0\nweightb=0\n8x8dct=0\nfast-pskip=1\nmbtree=0\nweightp=none\n"},
    {"libx264-veryfast",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,b8x8\nmotion-est=hex\nsubq=2\nme_range=16\n"
     "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\n"
     "mixed-refs=0\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=none\nrc-lookahead=10\n"},
    {"libx264-veryfast_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=16\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=3\nrefs=1\ndirect-pred=spatial\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=none\nrc-lookahead=10\n"},
    {"libx264-veryslow",
     "coder=1\ncmp=+chroma\npartitions=i8x8,i4x4,p8x8,p4x4,b8x8\nmotion-est=umh\nsubq=10\n"
     "me_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\n"
     "qcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=8\nrefs=16\ndirect-pred=auto\ntrellis=2\n"
     "b-pyramid=normal\nmixed-refs=1\nweightb=1\n8x8dct=1\nfast-pskip=1\nweightp=smart\n"
     "rc-lookahead=60\n"},
    {"libx264-veryslow_firstpass",
     "coder=1\ncmp=+chroma\npartitions=none\nmotion-est=dia\nsubq=2\nme_range=24\ng=250\n"
     "keyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\nqmax=51\n"
     "qdiff=4\nbf=8\nrefs=1\ndirect-pred=auto\ntrellis=0\nb-pyramid=normal\nmixed-refs=0\n"
     "weightb=1\n8x8dct=0\nfast-pskip=1\nweightp=smart\nrc-lookahead=60\n"},
};

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// "~/..." is a path in the user's home folder.
std::string ExpandHome(const std::string& path) {
    const char* home = std::getenv("HOME");
    if (home && *home && (path == "~" || path.rfind("~/", 0) == 0))
        return home + path.substr(1);
    return path;
}

std::string ReadPresetFile(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        throw FFmpegException(Fmt("Preset \"%s\" not found", path.c_str()));
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad())
        throw FFmpegException(Fmt("Preset \"%s\" cannot be read: %s", path.c_str(), std::strerror(errno ? errno : EIO)));
    return text;
}

// The preset's lines, trimmed, without blank and comment lines; line breaks of any system.
std::vector<std::string> PresetLines(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) // a byte order mark before the first name
        text.erase(0, 3);
    for (std::size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at)) {
        if (at + 1 < text.size() && text[at + 1] == '\n')
            text.erase(at, 1);
        else
            text[at] = '\n';
    }
    std::vector<std::string> lines;
    std::istringstream in(Trim(text));
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    return lines;
}
} // namespace

const char* BuiltinPresetText(const std::string& name) {
    for (const TBuiltinPreset& p : BuiltinPresets)
        if (strcasecmp(p.Name, name.c_str()) == 0)
            return p.Text;
    return nullptr;
}

void TCustomFFmpeg::ApplyPreset(const std::string& option, const std::string& value) {
    // "apre", "vpre" and "spre" name a built-in preset, directly or after the codec chosen for
    // that kind ("default" with libx264 is "libx264-default"), or else a file; "fpre" a file.
    std::string path = value;
    const char* text = nullptr;
    if (option != "fpre") {
        const std::string& codec = option == "apre"   ? settings_.AudioCodecName
                                   : option == "vpre" ? settings_.VideoCodecName
                                                      : settings_.SubtitleCodecName;
        text = BuiltinPresetText(value);
        if (!text && !codec.empty() && (text = BuiltinPresetText(codec + "-" + value)))
            path = codec + "-" + value;
    }
    std::string fileText;
    if (!text) {
        path = ExpandHome(value);
        fileText = ReadPresetFile(path);
        text = fileText.c_str();
    }
    for (const std::string& line : PresetLines(text)) {
        std::size_t eq = line.find('=');
        std::string name = eq == std::string::npos ? line : Trim(line.substr(0, eq));
        std::string v = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
        if (name.empty() || v.empty())
            throw FFmpegException(Fmt("%s: Invalid syntax: \"%s\"", path.c_str(), line.c_str()));
        if (name == "acodec" || name == "vcodec" || name == "scodec") {
            ApplyOption(name, v);
        } else if (!generic_.Set(name, v) && RaiseOnOptionError) {
            throw FFmpegException(Fmt("%s\r\n%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                                      generic_.ErrorMsg().c_str(), path.c_str(), line.c_str(), name.c_str(),
                                      v.c_str()));
        }
    }
}

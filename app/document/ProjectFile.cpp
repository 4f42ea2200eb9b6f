#include "app/document/ProjectFile.h"

#include "app/document/DuplicateKeys.h"

#include "app/output/FrameCount.h"
#include "app/output/FrameSizeLimits.h"
#include "app/soundtrack/SoundtrackBuilder.h"

#include "app/captions/CaptionProjectKeys.h"
#include "app/clips/ClipProjectKeys.h"

#include "app/motion/MotionNames.h"
#include "effects/Effects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <functional>
#include <limits>

namespace {
constexpr const char* FormatName = "pixaroll-project";
constexpr qint64 LargestProject = 64 << 20; // far beyond any slideshow; refuses a wrong file early
constexpr double LongestHold = LongestHoldSeconds;

// A value of the wrong kind: the reason with its place in the document.
struct TBadValue {
    std::string Where, Reason;
};

[[noreturn]] void Bad(const std::string& where, const std::string& reason) { throw TBadValue{where, reason}; }

std::string Member(const std::string& where, const char* key) { return where.empty() ? key : where + "." + key; }

// Line and column (from 1, in characters) of a byte offset into UTF-8 text.
std::string Place(const std::string& text, int offset) {
    offset = std::clamp(offset, 0, int(text.size()));
    int line = 1, column = 1;
    for (int i = 0; i < offset; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[std::size_t(i)]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

QString AbsolutePath(const std::string& path) { return QFileInfo(QString::fromStdString(path)).absoluteFilePath(); }

QString StoredPath(const std::string& path, const QDir& folder) {
    if (path.empty())
        return {};
    return folder.relativeFilePath(AbsolutePath(path));
}

std::string ResolvedPath(const QString& stored, const QDir& folder) {
    if (stored.isEmpty())
        return {};
    return QDir::cleanPath(folder.absoluteFilePath(stored)).toStdString();
}

// Readers of single values: the value, or TBadValue naming where.
std::string String(const QJsonValue& v, const std::string& where) {
    if (!v.isString())
        Bad(where, "must be text");
    return v.toString().toStdString();
}

bool Bool(const QJsonValue& v, const std::string& where) {
    if (!v.isBool())
        Bad(where, "must be true or false");
    return v.toBool();
}

long long Integer(const QJsonValue& v, const std::string& where, long long low, long long high) {
    const double d = v.toDouble();
    if (!v.isDouble() || d != std::floor(d) || d < double(low) || d > double(high))
        Bad(where, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return static_cast<long long>(d);
}

double ZoomValue(const QJsonValue& v, const std::string& where) {
    const double d = v.toDouble();
    if (!v.isDouble() || !(d >= SmallestMotionZoom && d <= LargestMotionZoom))
        Bad(where, "must be a zoom factor from 1 to 4");
    return d;
}

// A rectangle of the picture as [x, y, width, height] in fractions of its width and height.
TMotionRect MotionRectValue(const QJsonValue& v, const std::string& where) {
    const char* why = "must be [x, y, width, height] in fractions of the picture (0 to 1, width and height above 0)";
    if (!v.isArray() || v.toArray().size() != 4)
        Bad(where, why);
    double n[4];
    for (int i = 0; i < 4; ++i) {
        const QJsonValue e = v.toArray()[i];
        n[i] = e.toDouble();
        if (!e.isDouble() || !(n[i] >= 0 && n[i] <= 1))
            Bad(where, why);
    }
    if (!(n[2] > 0 && n[3] > 0) || n[0] + n[2] > 1 + 1e-9 || n[1] + n[3] > 1 + 1e-9)
        Bad(where, why);
    return {n[0], n[1], n[2], n[3]};
}

QJsonArray MotionRectJson(const TMotionRect& r) { return QJsonArray{r.X, r.Y, r.W, r.H}; }

// The show's hold or transition: seconds from 0 to a day, as a number or as text (as typed in
// the window).
double SecondsValue(const QJsonValue& v, const std::string& where) {
    double seconds = -1;
    if (v.isString())
        ParseDecimalNumber(v.toString().toStdString(), seconds);
    else if (v.isDouble())
        seconds = v.toDouble();
    if (!(seconds >= 0 && seconds <= LongestHoldSeconds))
        Bad(where, "must be seconds from 0 to " + std::to_string(int(LongestHoldSeconds)));
    return seconds;
}

TFrameSize FrameSizeValue(const QJsonValue& v, const std::string& where) {
    TFrameSize size;
    if (!v.isString() || !ParseFrameSize(v.toString().toStdString(), size) || size.Width <= 0 || size.Height <= 0)
        Bad(where, "must be WxH, two whole numbers above 0 (as \"1920x1080\")");
    return size;
}

TFrameRate FrameRateValue(const QJsonValue& v, const std::string& where) {
    TFrameRate rate;
    if (!v.isString() || !ParseFrameRate(v.toString().toStdString(), rate))
        Bad(where, "must be N:D, two whole numbers above 0 (as \"30:1\")");
    return rate;
}

// Seconds as a number from 0 to most.
double Seconds(const QJsonValue& v, const std::string& where, double most) {
    const double d = v.toDouble();
    if (!v.isDouble() || !(d >= 0 && d <= most))
        Bad(where, "must be seconds from 0 to " + std::to_string(int(most)));
    return d;
}

// The output choices, one row per member.
struct TOutputField {
    const char* Key;
    std::function<QJsonValue(const TSlideshowSettings&, const QDir&)> Write;
    std::function<void(const QJsonValue&, TSlideshowSettings&, const QDir&, const std::string&)> Read;
};

const std::vector<TOutputField>& OutputFields() {
    static const std::vector<TOutputField> fields = {
        {"outDir", [](const TSlideshowSettings& s, const QDir& d) { return QJsonValue(StoredPath(s.OutDir, d)); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir& d, const std::string& w) {
             s.OutDir = ResolvedPath(QString::fromStdString(String(v, w)), d);
         }},
        {"container", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(QString::fromStdString(s.Format)); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.Format = String(v, w); }},
        {"frameSize", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(QString::fromStdString(s.FrameSize)); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.FrameSize = FrameSizeValue(v, w).Text(); }},
        {"frameRate", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(QString::fromStdString(s.FrameRate.Text())); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.FrameRate = FrameRateValue(v, w); }},
        {"videoBitRate", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.VideoBitRate); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.VideoBitRate = int(Integer(v, w, 1, 1000000000));
         }},
        {"hold", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(QString::fromStdString(SecondsText(s.HoldSeconds))); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.HoldSeconds = SecondsValue(v, w); }},
        {"transition",
         [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(QString::fromStdString(SecondsText(s.TransitionSeconds))); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.TransitionSeconds = SecondsValue(v, w);
         }},
        {"randomEffects", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.RandomEffects); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.RandomEffects = Bool(v, w); }},
        {"seed",
         [](const TSlideshowSettings& s, const QDir&) { return s.Seed ? QJsonValue(double(*s.Seed)) : QJsonValue(); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.Seed = std::uint32_t(Integer(v, w, 0, std::numeric_limits<std::uint32_t>::max()));
         }},
        {"audioChannels", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.AudioChannels); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.AudioChannels = int(Integer(v, w, 1, 2));
         }},
        {"audioSampleRate", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.AudioSampleRate); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.AudioSampleRate = int(Integer(v, w, 0, 384000));
         }},
        {"breakWhenNoPictures", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.BreakWhenNoPictures); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.BreakWhenNoPictures = Bool(v, w);
         }},
        {"framing", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(FramingName(s.Framing)); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             if (!FindFraming(String(v, w), s.Framing))
                 Bad(w, "must be letterbox, blur or fill");
         }},
        {"constantQuality", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.ConstantQuality); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.ConstantQuality = Bool(v, w);
         }},
        {"crf", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.Crf); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.Crf = int(Integer(v, w, -1, 63));
         }},
        {"preset", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(SpeedPresetName(s.Preset)); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             if (!FindSpeedPreset(String(v, w), s.Preset))
                 Bad(w, "must be fast, balanced or small");
         }},
        {"motion", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(MotionStyleName(s.Motion)); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             if (!FindMotionStyle(String(v, w), s.Motion))
                 Bad(w, "must be off, zoom-in, zoom-out, pan or random");
         }},
        {"zoom", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.Zoom); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.Zoom = ZoomValue(v, w);
         }},
        {"hardwareEncoder", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.HardwareEncoder); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.HardwareEncoder = Bool(v, w);
         }},
        // Written only when asked for: a project without it writes held pictures once.
        {"constantFrameRate",
         [](const TSlideshowSettings& s, const QDir&) { return s.ConstantFrameRate ? QJsonValue(true) : QJsonValue(); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.ConstantFrameRate = Bool(v, w);
         }},
        // The music's choices are written only when they are on: a project without them reads as
        // it did before they existed.
        {"loopMusic", [](const TSlideshowSettings& s, const QDir&) { return s.LoopMusic ? QJsonValue(true) : QJsonValue(); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.LoopMusic = Bool(v, w); }},
        {"fadeIn",
         [](const TSlideshowSettings& s, const QDir&) { return s.FadeInSeconds > 0 ? QJsonValue(s.FadeInSeconds) : QJsonValue(); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             s.FadeInSeconds = Seconds(v, w, MaxFadeSeconds);
         }},
        {"fadeOut",
         [](const TSlideshowSettings& s, const QDir&) {
             if (s.FadeOutSeconds == FadeOutAuto)
                 return QJsonValue("auto");
             return s.FadeOutSeconds > 0 ? QJsonValue(s.FadeOutSeconds) : QJsonValue();
         },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             if (v.isString() && v.toString() == "auto")
                 s.FadeOutSeconds = FadeOutAuto;
             else if (v.isDouble())
                 s.FadeOutSeconds = Seconds(v, w, MaxFadeSeconds);
             else
                 Bad(w, "must be \"auto\" or seconds from 0 to " + std::to_string(int(MaxFadeSeconds)));
         }},
        {"loudness", [](const TSlideshowSettings& s, const QDir&) { return s.Loudness ? QJsonValue(*s.Loudness) : QJsonValue(); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) {
             const double d = v.toDouble();
             if (!v.isDouble() || !(d >= MinLoudness && d <= MaxLoudness))
                 Bad(w, "must be LUFS from " + std::to_string(int(MinLoudness)) + " to " + std::to_string(int(MaxLoudness)));
             s.Loudness = d;
         }},
        {"fitToMusic", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.FitToMusic); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.FitToMusic = Bool(v, w); }},
        {"beats", [](const TSlideshowSettings& s, const QDir&) { return QJsonValue(s.Beats); },
         [](const QJsonValue& v, TSlideshowSettings& s, const QDir&, const std::string& w) { s.Beats = Bool(v, w); }},
    };
    return fields;
}

QJsonObject Object(const QJsonValue& v, const std::string& where) {
    if (!v.isObject())
        Bad(where, "must be an object { ... }");
    return v.toObject();
}

QJsonArray Array(const QJsonValue& v, const std::string& where) {
    if (!v.isArray())
        Bad(where, "must be a list [ ... ]");
    return v.toArray();
}

TSlide ReadSlide(const QJsonObject& o, const QDir& folder, const std::string& where, const TCaptionStyle& show) {
    TSlide slide;
    // A title slide names a picture only when it blurs one.
    if (!o.contains("title") || o.contains("picture")) {
        const std::string picture = String(o.value("picture"), Member(where, "picture"));
        if (picture.empty())
            Bad(Member(where, "picture"), "names no file");
        slide.Picture = ResolvedPath(QString::fromStdString(picture), folder);
    }
    if (o.contains("hold")) {
        const QJsonValue v = o.value("hold");
        const double d = v.toDouble();
        if (!v.isDouble() || !(d >= 0 && d <= LongestHold))
            Bad(Member(where, "hold"), "must be seconds from 0 to " + std::to_string(int(LongestHold)));
        slide.HoldSeconds = d;
    }
    if (o.contains("effect")) {
        const QJsonValue v = o.value("effect");
        if (v.isString() && v.toString() == "random")
            slide.Effect = SlideEffectRandom;
        else if (v.isDouble())
            slide.Effect = int(Integer(v, Member(where, "effect"), 1, EffectCount));
        else
            Bad(Member(where, "effect"), "must be an effect number from 1 to " + std::to_string(EffectCount) + " or \"random\"");
    }
    if (o.contains("caption"))
        slide.Caption = String(o.value("caption"), Member(where, "caption"));
    if (o.contains("captionDateTaken"))
        slide.CaptionDateTaken = Bool(o.value("captionDateTaken"), Member(where, "captionDateTaken"));
    if (o.contains("motion")) {
        const std::string at = Member(where, "motion");
        const QJsonObject m = Object(o.value("motion"), at);
        if (m.contains("style")) {
            TMotionStyle style = TMotionStyle::Off;
            if (!FindMotionStyle(String(m.value("style"), Member(at, "style")), style, true))
                Bad(Member(at, "style"), "must be off, zoom-in, zoom-out, pan, random or rects");
            slide.Motion.Style = style;
        }
        if (m.contains("start"))
            slide.Motion.Start = MotionRectValue(m.value("start"), Member(at, "start"));
        if (m.contains("end"))
            slide.Motion.End = MotionRectValue(m.value("end"), Member(at, "end"));
    }
    // "music" is kept for the features that fill them; nothing to read yet.
    for (const char* later : {"music"})
        if (o.contains(later))
            Object(o.value(later), Member(where, later));
    if (o.contains("clip")) {
        std::string key, reason;
        if (!ReadClipObject(Object(o.value("clip"), Member(where, "clip")), slide.Clip, key, reason))
            Bad(Member(Member(where, "clip"), key.c_str()), reason);
    }
    if (std::string key, reason; !ReadCaptionSlideKeys(o, show, slide, key, reason))
        Bad(Member(where, key.c_str()), reason);
    return slide;
}

TSlideshowData ReadProject(const QJsonObject& root, const QDir& folder) {
    if (root.value("format").toString() != FormatName)
        Bad("format", std::string("is not \"") + FormatName + "\": this is not a Zemo Pixaroll project");
    const long long version = Integer(root.value("version"), "version", 1, std::numeric_limits<int>::max());
    if (version > ProjectFormatVersion)
        Bad("version", "is " + std::to_string(version) + ": the project was saved by a newer Zemo Pixaroll (this one reads up to " +
                           std::to_string(ProjectFormatVersion) + ")");
    TSlideshowData data;
    if (root.contains("captionSubtitles"))
        data.CaptionSubtitles = Bool(root.value("captionSubtitles"), "captionSubtitles");
    if (root.contains("captionStyle")) {
        std::string key, reason;
        if (!ReadCaptionStyleObject(Object(root.value("captionStyle"), "captionStyle"), data.CaptionStyle, key, reason))
            Bad(Member("captionStyle", key.c_str()), reason);
    }
    if (root.contains("captionFade"))
        data.CaptionFadeSeconds = Seconds(root.value("captionFade"), "captionFade", LongestCaptionFade);
    if (root.contains("output")) {
        const QJsonObject output = Object(root.value("output"), "output");
        for (const TOutputField& field : OutputFields())
            if (output.contains(field.Key) && !output.value(field.Key).isNull())
                field.Read(output.value(field.Key), data.Output, folder, Member("output", field.Key));
    }
    if (root.contains("soundtracks")) {
        const QJsonArray list = Array(root.value("soundtracks"), "soundtracks");
        for (qsizetype i = 0; i < list.size(); ++i) {
            const std::string where = "soundtracks[" + std::to_string(i) + "]";
            const std::string file = String(Object(list[i], where).value("file"), where + ".file");
            if (file.empty())
                Bad(where + ".file", "names no file");
            data.Soundtracks.push_back(TSoundtrack{ResolvedPath(QString::fromStdString(file), folder)});
        }
    }
    if (root.contains("slides")) {
        const QJsonArray list = Array(root.value("slides"), "slides");
        for (qsizetype i = 0; i < list.size(); ++i) {
            const std::string where = "slides[" + std::to_string(i) + "]";
            data.Slides.push_back(ReadSlide(Object(list[i], where), folder, where, data.CaptionStyle));
        }
    }
    return data;
}

QDir FolderOf(const std::string& file) { return QFileInfo(AbsolutePath(file)).absoluteDir(); }
} // namespace

bool ReadProjectText(const std::string& text, const std::string& projectFolder, TSlideshowData& data,
                     std::string& error) {
    QJsonParseError parse;
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(text), &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = Place(text, parse.offset) + ": " + parse.errorString().toStdString() + " (not a Zemo Pixaroll project, or a damaged one)";
        return false;
    }
    if (!json.isObject()) {
        error = "line 1, column 1: the text is no JSON object { ... }: not a Zemo Pixaroll project";
        return false;
    }
    std::string place;
    if (const std::string key = DuplicateKey(text, place); !key.empty()) {
        error = key + ": appears twice (" + place + "); a project names each key once";
        return false;
    }
    try {
        data = ReadProject(json.object(), QDir(QString::fromStdString(projectFolder)));
    } catch (const TBadValue& bad) {
        error = bad.Where + ": " + bad.Reason;
        return false;
    }
    return true;
}

std::string ProjectText(const TSlideshowData& data, const std::string& projectFolder) {
    const QDir folder(QString::fromStdString(projectFolder));
    QJsonObject root;
    root["format"] = FormatName;
    root["version"] = ProjectFormatVersion;
    QJsonObject output;
    for (const TOutputField& field : OutputFields()) {
        QJsonValue v = field.Write(data.Output, folder);
        if (!v.isNull())
            output[field.Key] = v;
    }
    root["output"] = output;
    if (data.CaptionSubtitles)
        root["captionSubtitles"] = true;
    root["captionStyle"] = CaptionStyleObject(data.CaptionStyle);
    if (data.CaptionFadeSeconds)
        root["captionFade"] = *data.CaptionFadeSeconds;
    QJsonArray soundtracks;
    for (const TSoundtrack& s : data.Soundtracks)
        soundtracks.append(QJsonObject{{"file", StoredPath(s.File, folder)}});
    root["soundtracks"] = soundtracks;
    QJsonArray slides;
    for (const TSlide& slide : data.Slides) {
        QJsonObject o;
        if (!NeedsNoPicture(slide) || !slide.Picture.empty())
            o["picture"] = StoredPath(slide.Picture, folder);
        if (slide.HoldSeconds)
            o["hold"] = *slide.HoldSeconds;
        if (slide.Effect)
            o["effect"] = *slide.Effect == SlideEffectRandom ? QJsonValue("random") : QJsonValue(*slide.Effect);
        if (!slide.Caption.empty())
            o["caption"] = QString::fromStdString(slide.Caption);
        if (slide.CaptionDateTaken)
            o["captionDateTaken"] = true;
        if (slide.Motion != TSlideMotion{}) {
            QJsonObject m;
            if (slide.Motion.Style)
                m["style"] = MotionStyleName(*slide.Motion.Style);
            m["start"] = MotionRectJson(slide.Motion.Start);
            m["end"] = MotionRectJson(slide.Motion.End);
            o["motion"] = m;
        }
        if (const QJsonObject clip = ClipObject(slide.Clip); !clip.isEmpty())
            o["clip"] = clip;
        WriteCaptionSlideKeys(slide, data.CaptionStyle, o);
        slides.append(o);
    }
    root["slides"] = slides;
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

bool LoadProject(const std::string& file, TSlideshowData& data, std::string& error) {
    QFile in(QString::fromStdString(file));
    const QFileInfo info(in);
    if (info.isDir() || !in.open(QIODevice::ReadOnly)) {
        error = file + ": cannot open: " + (info.isDir() ? std::string("it is a folder") : in.errorString().toStdString());
        return false;
    }
    if (in.size() > LargestProject) {
        error = file + ": " + std::to_string(in.size()) + " bytes is too large for a Zemo Pixaroll project";
        return false;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        error = file + ": cannot read: " + in.errorString().toStdString();
        return false;
    }
    std::string why;
    if (!ReadProjectText(bytes.toStdString(), FolderOf(file).path().toStdString(), data, why)) {
        error = file + ": " + why;
        return false;
    }
    return true;
}

bool SaveProject(const std::string& file, const TSlideshowData& data, std::string& error) {
    const std::string text = ProjectText(data, FolderOf(file).path().toStdString());
    QSaveFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly)) {
        error = file + ": cannot save: " + out.errorString().toStdString();
        return false;
    }
    if (out.write(text.data(), qint64(text.size())) != qint64(text.size()) || !out.commit()) {
        error = file + ": cannot save: " + out.errorString().toStdString();
        return false; // the temporary file is removed, an older project stays as it was
    }
    return true;
}

bool OpenProject(TSlideshowDocument& document, const std::string& file, std::string& error) {
    TSlideshowData data;
    if (!LoadProject(file, data, error))
        return false;
    document.Assign(std::move(data));
    document.ProjectFile = AbsolutePath(file).toStdString();
    document.SetModified(false);
    return true;
}

bool SaveProject(TSlideshowDocument& document, const std::string& file, std::string& error) {
    if (!SaveProject(file, document.Data(), error))
        return false;
    document.ProjectFile = AbsolutePath(file).toStdString();
    document.SetModified(false);
    return true;
}

std::vector<TMissingFile> MissingFiles(const TSlideshowData& data) {
    std::vector<TMissingFile> missing;
    auto absent = [](const std::string& f) { return !QFileInfo(QString::fromStdString(f)).isFile(); };
    for (int i = 0; i < int(data.Slides.size()); ++i)
        if (absent(data.Slides[std::size_t(i)].Picture) && !NeedsNoPicture(data.Slides[std::size_t(i)]))
            missing.push_back({TMissingFile::Picture, i, data.Slides[std::size_t(i)].Picture});
    for (int i = 0; i < int(data.Soundtracks.size()); ++i)
        if (absent(data.Soundtracks[std::size_t(i)].File))
            missing.push_back({TMissingFile::Soundtrack, i, data.Soundtracks[std::size_t(i)].File});
    return missing;
}

std::string MissingFileText(const TMissingFile& missing) {
    return std::string(missing.Kind == TMissingFile::Picture ? "picture " : "soundtrack ") +
           std::to_string(missing.Index + 1) + ": " + missing.File;
}

namespace {
// The file of the same name in folder, or empty.
std::string FoundIn(const QDir& folder, const std::string& file) {
    const QString name = QFileInfo(QString::fromStdString(file)).fileName();
    if (name.isEmpty())
        return {};
    const QFileInfo candidate(folder.absoluteFilePath(name));
    return candidate.isFile() ? QDir::cleanPath(candidate.absoluteFilePath()).toStdString() : std::string();
}
} // namespace

int RelinkMissingFiles(TSlideshowData& data, const std::string& folder) {
    const QDir dir(AbsolutePath(folder));
    int relinked = 0;
    for (const TMissingFile& m : MissingFiles(data)) {
        const std::string found = FoundIn(dir, m.File);
        if (found.empty())
            continue;
        (m.Kind == TMissingFile::Picture ? data.Slides[std::size_t(m.Index)].Picture
                                         : data.Soundtracks[std::size_t(m.Index)].File) = found;
        ++relinked;
    }
    return relinked;
}

int RelinkMissingFiles(TSlideshowDocument& document, const std::string& folder) {
    TSlideshowData data = document.Data();
    const int relinked = RelinkMissingFiles(data, folder);
    for (int i = 0; i < document.SlideCount(); ++i)
        document.SetPicture(i, data.Slides[std::size_t(i)].Picture);
    document.SetSoundtracks(data.Soundtracks);
    return relinked;
}

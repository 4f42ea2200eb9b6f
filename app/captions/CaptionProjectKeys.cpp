#include "app/captions/CaptionProjectKeys.h"

#include "app/captions/TitleSlide.h"

#include <QJsonValue>

#include <cstdio>

namespace {
bool IsNumberKey(const std::string& key) {
    return key == "size" || key == "outline" || key == "shadow" || key == "margin";
}

QJsonValue StyleJson(const TCaptionStyle& style, const std::string& key) {
    const std::string text = CaptionStyleValue(style, key);
    if (IsNumberKey(key))
        return std::stod(text);
    if (key == "bold")
        return text == "true";
    return QString::fromStdString(text);
}
} // namespace

bool ReadCaptionStyleObject(const QJsonObject& object, TCaptionStyle& style, std::string& key, std::string& reason) {
    TCaptionStyle read = style;
    for (const char* const* name = CaptionStyleKeys(); *name; ++name) {
        // Keys this program does not know are skipped, as everywhere in a project.
        if (!object.contains(*name))
            continue;
        key = *name;
        const QJsonValue v = object.value(*name);
        std::string text;
        if (IsNumberKey(key)) {
            if (!v.isDouble()) {
                reason = "must be a number";
                return false;
            }
            char number[32];
            std::snprintf(number, sizeof number, "%.17g", v.toDouble());
            text = number;
        } else if (key == "bold") {
            if (!v.isBool()) {
                reason = "must be true or false";
                return false;
            }
            text = v.toBool() ? "true" : "false";
        } else if (v.isString()) {
            text = v.toString().toStdString();
        } else {
            reason = "must be text";
            return false;
        }
        if (!SetCaptionStyleValue(read, key, text, reason))
            return false;
    }
    style = read;
    return true;
}

QJsonObject CaptionStyleObject(const TCaptionStyle& style, const TCaptionStyle* base) {
    QJsonObject object;
    for (const char* const* key = CaptionStyleKeys(); *key; ++key)
        if (!base || CaptionStyleValue(style, *key) != CaptionStyleValue(*base, *key))
            object[*key] = StyleJson(style, *key);
    return object;
}

bool ReadCaptionSlideKeys(const QJsonObject& object, const TCaptionStyle& show, TSlide& slide, std::string& key,
                          std::string& reason) {
    if (object.contains("captionStyle")) {
        const QJsonValue v = object.value("captionStyle");
        if (!v.isObject()) {
            key = "captionStyle";
            reason = "must be an object { ... }";
            return false;
        }
        TCaptionStyle own = show;
        std::string inner;
        if (!ReadCaptionStyleObject(v.toObject(), own, inner, reason)) {
            key = "captionStyle." + inner;
            return false;
        }
        slide.CaptionStyle = own;
    }
    if (!object.contains("title")) {
        if (object.contains("background")) {
            key = "background";
            reason = "belongs to title slides (a slide with \"title\")";
            return false;
        }
        return true;
    }
    key = "title";
    if (!object.value("title").isString()) {
        reason = "must be text";
        return false;
    }
    slide.Title.On = true;
    slide.Caption = object.value("title").toString().toStdString();
    if (object.contains("background")) {
        key = "background";
        const QJsonValue v = object.value("background");
        if (!v.isString() || !ReadTitleBackground(v.toString().toStdString(), slide.Title)) {
            reason = "must be a colour \"#rrggbb\", a gradient \"#rrggbb-#rrggbb\" (top to bottom) or \"blur\"";
            return false;
        }
        if (slide.Title.Background == TTitleBackgroundKind::Blur && slide.Picture.empty()) {
            reason = "\"blur\" blurs the slide's picture, and the slide names none";
            return false;
        }
    }
    return true;
}

void WriteCaptionSlideKeys(const TSlide& slide, const TCaptionStyle& show, QJsonObject& object) {
    if (slide.CaptionStyle)
        object["captionStyle"] = CaptionStyleObject(*slide.CaptionStyle, &show);
    if (!slide.Title.On)
        return;
    object.remove("caption");
    object["title"] = QString::fromStdString(slide.Caption);
    if (slide.Title != TSlideTitle{true})
        object["background"] = QString::fromStdString(TitleBackgroundText(slide.Title));
}

bool NeedsNoPicture(const TSlide& slide) {
    return slide.Title.On && slide.Title.Background != TTitleBackgroundKind::Blur;
}

#pragma once
// The project file's keys of captions and title slides (format version 2):
//
//   "captionStyle": { "font": "DejaVu Sans", "bold": true, "size": 0.07, "color": "#ffffff",
//                     "outline": 0.125, "outlineColor": "#000000", "shadow": 0, "shadowColor": "#b4000000",
//                     "box": "#00000000", "position": "bottom", "margin": 0.04, "align": "center" },
//   "captionFade": 0.5,
//   "slides": [ { "title": "Summer 2026", "background": "#203040-#000000", "hold": 3 },
//               { "picture": "a.jpg", "caption": "Home", "captionStyle": { "position": "top" } },
//               { "title": "The end", "background": "blur", "picture": "b.jpg" } ]
//
// The show's style is written whole; a slide's own style as the keys in which it differs from the
// show's (an empty object: the show's style as the slide's own). A title slide has "title" (its
// text) instead of "caption", and a "picture" only when its background blurs one.

#include "app/show/SlideshowData.h"

#include <QJsonObject>

#include <string>

// Reads a style object over style (keys it lacks keep their value). False with the key and the
// reason when a value does not fit or a key is unknown.
bool ReadCaptionStyleObject(const QJsonObject& object, TCaptionStyle& style, std::string& key, std::string& reason);
// The members of style that differ from base (all of them when base is null).
QJsonObject CaptionStyleObject(const TCaptionStyle& style, const TCaptionStyle* base = nullptr);

// A slide's caption and title keys ("captionStyle", "title", "background") over slide, whose own
// style starts from show. False with the key and the reason.
bool ReadCaptionSlideKeys(const QJsonObject& object, const TCaptionStyle& show, TSlide& slide, std::string& key,
                          std::string& reason);
void WriteCaptionSlideKeys(const TSlide& slide, const TCaptionStyle& show, QJsonObject& object);

// True for a slide that is drawn without any picture file (a title slide on colours).
bool NeedsNoPicture(const TSlide& slide);

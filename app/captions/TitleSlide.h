#pragma once
// Title slides on the frame sequencer: their backgrounds drawn in place of a picture (made once
// per slide and frame size), their text left to the caption layer.

#include "app/show/SlideshowData.h"
#include "app/SlideshowSequencer.h"

#include <memory>

// A title slide with text and a background (the picture to blur, when it blurs one).
TSlide TitleSlide(const std::string& text, const TSlideTitle& background = TSlideTitle{true},
                  const std::string& picture = std::string());
bool IsTitleSlide(const TSlide& slide);

// Draws title slide's background into frame (its size). A blurred background reads the slide's
// picture and throws TPictureError when it cannot.
void DrawTitleBackground(const TSlide& slide, TFrameBitmap& frame);

// Hands the title slides of data to the sequencer as slides it draws itself (its SlideMoves and
// DrawSlide hooks, the ones set before kept for every other slide). Nothing changes for a
// document without title slides.
void InstallTitleSlides(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data);

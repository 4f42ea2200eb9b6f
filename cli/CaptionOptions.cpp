#include "cli/CaptionOptions.h"

#include "app/show/CaptionStyle.h"
#include "app/captions/TitleSlide.h"

#include <charconv>
#include <cmath>

bool ReadCaptionOption(TArgs& args, const std::string& option, const TCaptionStyle& base, TCaptionOptions& options) {
    if (option == "--caption-style") {
        TCaptionStyle style = options.Style ? *options.Style : base;
        std::string error;
        if (!ParseCaptionStyle(args.Value(option), style, error))
            throw TUsageError("--caption-style: " + error);
        options.Style = style;
    } else if (option == "--caption-fade") {
        const std::string text = args.Value(option);
        double seconds = -1;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (ec != std::errc() || end != text.data() + text.size() || !(seconds >= 0 && seconds <= LongestCaptionFade))
            throw TUsageError("--caption-fade takes seconds from 0 to " + std::to_string(int(LongestCaptionFade)) +
                              ", not \"" + text + "\"");
        options.FadeSeconds = seconds;
    } else if (option == "--title") {
        options.Title = args.Value(option);
    } else if (option == "--end-title") {
        options.EndTitle = args.Value(option);
    } else if (option == "--title-background") {
        const std::string text = args.Value(option);
        if (!ReadTitleBackground(text, options.Background))
            throw TUsageError("--title-background takes a colour #rrggbb, a gradient #rrggbb-#rrggbb or blur, not \"" +
                              text + "\"");
    } else {
        return false;
    }
    return true;
}

void ApplyCaptionOptions(TSlideshowData& data, const TCaptionOptions& options) {
    if (options.Style)
        data.CaptionStyle = *options.Style;
    if (options.FadeSeconds)
        data.CaptionFadeSeconds = *options.FadeSeconds;
    const bool blur = options.Background.Background == TTitleBackgroundKind::Blur;
    // The pictures the blurred titles take: the first and the last before the titles come in.
    const std::string first = data.Slides.empty() ? std::string() : data.Slides.front().Picture;
    const std::string last = data.Slides.empty() ? std::string() : data.Slides.back().Picture;
    if (blur && (options.Title || options.EndTitle) && first.empty())
        throw TUsageError("--title-background blur blurs the first or last picture, and there is none");
    if (options.Title)
        data.Slides.insert(data.Slides.begin(), TitleSlide(*options.Title, options.Background, blur ? first : ""));
    if (options.EndTitle)
        data.Slides.push_back(TitleSlide(*options.EndTitle, options.Background, blur ? last : ""));
}

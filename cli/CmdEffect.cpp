// pixaroll-cli effect: draws one transition frame between two pictures exactly as the slideshow
// draws it for a given effect row and percent, and writes it as a picture file.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ImageFiles.h"
#include "effects/Effects.h"
#include "effects/Transition.h"

#include <cstdint>
#include <optional>

namespace {

struct TEffectOptions {
    std::optional<int> Row, Percent;
    std::string From, To, Out;
    std::uint32_t Seed = 0;
};

TEffectOptions ReadOptions(const TCommandArgs& args) {
    TEffectOptions o;
    TArgs a(args);
    while (!a.AtEnd()) {
        const std::string opt = a.Next();
        if (opt == "--row")
            o.Row = ParseInt(a.Value(opt), opt);
        else if (opt == "--percent")
            o.Percent = ParseInt(a.Value(opt), opt);
        else if (opt == "--from")
            o.From = a.Value(opt);
        else if (opt == "--to")
            o.To = a.Value(opt);
        else if (opt == "-o")
            o.Out = a.Value(opt);
        else if (opt == "--seed")
            o.Seed = ParseSeed(a.Value(opt), opt);
        else
            throw TUnknownOption(opt);
    }
    if (!o.Row || !o.Percent || o.From.empty() || o.To.empty() || o.Out.empty())
        throw TUsageError("--row, --percent, --from, --to and -o are all needed");
    if (*o.Row < 1 || *o.Row > EffectCount)
        throw TUsageError("--row must be from 1 to " + std::to_string(EffectCount) + ", not " + std::to_string(*o.Row));
    return o;
}

std::string SizeText(const TFrameBitmap& bmp) { return std::to_string(bmp.Width()) + "x" + std::to_string(bmp.Height()); }

} // namespace

int CmdEffect(const TCommandArgs& args) {
    const TEffectOptions o = ReadOptions(args);
    const TFrameBitmap oldPicture = LoadFrameImage(o.From);
    TFrameBitmap newPicture = LoadFrameImage(o.To);
    if (oldPicture.Width() != newPicture.Width() || oldPicture.Height() != newPicture.Height())
        throw std::runtime_error("the pictures differ in size: \"" + o.From + "\" is " + SizeText(oldPicture) +
                                 ", \"" + o.To + "\" is " + SizeText(newPicture) + "; the frame takes both sizes");
    if (oldPicture.Empty())
        throw std::runtime_error("the pictures are empty (" + SizeText(oldPicture) + ")");
    // Effects with stable randomness take their seed from the new picture's handle.
    newPicture.SetHandle(o.Seed);
    TFrameBitmap frame(oldPicture.Width(), oldPicture.Height());
    DrawTransitionFrame(frame, oldPicture, newPicture, *o.Row, *o.Percent);
    SaveFrameImage(frame, o.Out);
    return 0;
}

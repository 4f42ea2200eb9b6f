#include "cli/MotionOption.h"

#include <sstream>

bool ReadMotionOption(TArgs& args, const std::string& option, TMotionStyle& style, double& zoom) {
    if (option == "--motion") {
        if (!FindMotionStyle(args.Value(option), style))
            throw TUsageError("--motion takes off, zoom-in, zoom-out, pan or random");
        return true;
    }
    if (option == "--zoom") {
        const double value = ParseDouble(args.Value(option), option);
        if (!(value >= SmallestMotionZoom && value <= LargestMotionZoom)) {
            std::ostringstream text;
            text << "--zoom takes a factor from " << SmallestMotionZoom << " to " << LargestMotionZoom
                 << " (default " << DefaultMotionZoom << ")";
            throw TUsageError(text.str());
        }
        zoom = value;
        return true;
    }
    return false;
}

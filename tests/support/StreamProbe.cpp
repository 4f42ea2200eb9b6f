#include "tests/support/StreamProbe.h"
#include "tests/support/RunCommand.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

std::map<std::string, std::string> ProbeEntries(const std::string& output) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            entries[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return entries;
}

TStreamProbe ProbeStream(const std::string& file, const char* kind) {
    TStreamProbe p;
    const std::string select = std::string(" -select_streams ") + kind + ":0 ";
    for (const auto& [key, value] : ProbeEntries(RunShell("ffprobe -v error -count_packets" + select +
                                                         "-show_entries stream=codec_name,sample_rate,channels,"
                                                         "start_time,nb_read_packets -of default=noprint_wrappers=1 '" +
                                                         file + "'").Output)) {
        if (key == "codec_name") p.Codec = value;
        else if (key == "sample_rate") p.SampleRate = std::atoi(value.c_str());
        else if (key == "channels") p.Channels = std::atoi(value.c_str());
        else if (key == "start_time") p.Start = std::atof(value.c_str());
        else if (key == "nb_read_packets") p.Packets = std::atoi(value.c_str());
    }
    std::istringstream packets(RunShell("ffprobe -v error" + select + "-show_entries packet=pts_time,duration_time "
                                        "-of csv=p=0 '" + file + "'").Output);
    for (std::string line; std::getline(packets, line);) {
        double pts = std::atof(line.c_str());
        std::size_t comma = line.find(',');
        double duration = comma == std::string::npos ? 0 : std::atof(line.c_str() + comma + 1);
        p.End = std::max(p.End, pts + duration);
    }
    return p;
}

#pragma once
// Reads the soundtracks the timing of a slideshow follows: how long they play, and their samples
// as one mono signal for the beat tracker. The FFmpeg libraries must be loaded (EnsureMusicLibraries).

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A soundtrack that cannot be read; the text names the file and says why.
class TMusicError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Loads the libraries the reading needs unless they are loaded; throws TMusicError with the
// loader's reason when they cannot be.
void EnsureMusicLibraries();

// Seconds the first audio stream of file plays, counted by decoding it all (a header's length
// can promise more than the file holds). Throws TMusicError.
double MusicSeconds(const std::string& file);
// The songs one after the other.
double MusicSeconds(const std::vector<std::string>& files);

// Decodes the first audio stream of file to mono float samples at rate, handing them on in
// blocks as they come. Throws TMusicError.
void DecodeMusic(const std::string& file, int rate, const std::function<void(const float*, int)>& take);

// Sample applications described once, for the loader's tests, fuzz seeds and trying the program by hand.
#pragma once

#include "appwriter/application_writer.h"

#include <string>
#include <vector>

namespace appwriter {

// Every chunk the application loader keeps, with text beyond ASCII (code page 1252 in 8-bit data).
ApplicationDescription FullApplication(StringForm form);

// Chunk ids that are read without the application key (compression allowed) and with it (enciphering too).
const std::vector<std::uint16_t>& ChunksReadWithoutKey();
const std::vector<std::uint16_t>& ChunksReadWithKey();

// Gives those chunks, and every frame's sub-chunks, the flags (compressed 1, enciphered 2) they can carry.
void ApplyChunkFlags(ApplicationDescription& app, std::uint16_t flags);

struct NamedApplication {
    std::string name;
    ApplicationDescription app;
};

// A small application for sub-application objects to run: three frames of ChildFrameWidth x ChildFrameHeight
// in the colours of ChildFrameColours, each going to the next on a left click, the global values 5 and 6
// and the global strings "one" and "two".
constexpr std::int32_t ChildFrameWidth = 64, ChildFrameHeight = 48;
constexpr std::uint32_t ChildFrameColours[3] = {0x0000C0, 0x00C000, 0xC00000};
ApplicationDescription ChildApplication();

// A small set covering both string forms and every payload form; each runs its first frame.
std::vector<NamedApplication> SampleApplications();

} // namespace appwriter

// Describes the demo game and writes its application data to the file named on the command line.
//
//   demo_game OUTPUT
#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"

#include <iostream>

namespace {

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (g << 8) | (b << 16);
}

appwriter::ApplicationDescription DemoGame() {
    appwriter::ApplicationDescription d;
    d.name = u"Demo";
    d.header->windowWidth = 640;
    d.header->windowHeight = 480;
    d.header->frameRate = 60;
    appwriter::FrameContents title;
    title.layers = {{0, 1.0f, 1.0f, 0, 0, u"Background"}};
    appwriter::FrameDesc first = appwriter::DescribeFrame(640, 480, Rgb(0x20, 0x60, 0xC0), title);
    first.name = u"Title";
    appwriter::FrameDesc second = appwriter::DescribeFrame(640, 480, Rgb(0x30, 0xA0, 0x40), title);
    second.name = u"Level 1";
    d.frames = {first, second};
    return d;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: demo_game OUTPUT\n";
        return 2;
    }
    if (!appwriter::ApplicationWriter(DemoGame()).WriteFile(argv[1])) {
        std::cerr << "demo_game: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}

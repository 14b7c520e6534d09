// Describes the demo game and writes its application data to the file named on the command line.
//
//   demo_game OUTPUT
#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/menu_writer.h"

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
    // The runtime's menu: the bar is shown, and Ctrl+Q quits as the File menu does.
    d.header->flags1 |= 0x100;
    d.menuData = appwriter::WriteMenuData(
        {{u"&File", 0, 0, {{u"&Restart", 1010, 0, {}}, {u"", 0, 0, {}}, {u"&Quit\tCtrl+Q", 1008, 0, {}}}},
         {u"&Options",
          0,
          0,
          {{u"&Samples on/off", 1020, 0, {}},
           {u"&Music on/off", 1021, 0, {}},
           {u"Hide the menu &bar", 1022, 0, {}}}}},
        {{0x08, 'Q', 1008}});
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

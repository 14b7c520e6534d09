// The demo's object infos and the images of its bank, gathered from every part of the game before the
// application's chunks are written.
#pragma once

#include "appwriter/object_writer.h"

#include <cstdint>
#include <vector>

struct DemoObjects {
    std::vector<appwriter::ObjectInfoDesc> objects;
    std::vector<appwriter::ImageItemDesc> images; // stored index n + 1 is images[n]

    // Adds an image; its stored index.
    std::uint16_t AddImage(appwriter::ImageItemDesc image) {
        images.push_back(std::move(image));
        return static_cast<std::uint16_t>(images.size());
    }
};

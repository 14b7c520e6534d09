// The library's resources: the panel the image file selector puts beside the open and save dialogs. Found by
// number (FindResourceW), which is also where language files replace it.
#include "vtrs2/image_selector.h"
#include "win32/dialog_template.h"
#include "win32/resource.h"

#include <iterator>

namespace {

using namespace win32;

constexpr DWORD Shown = WS_VISIBLE;
constexpr DWORD Label = Shown | SS_LEFT | SS_NOPREFIX;
constexpr DWORD NoId = 0xFFFF;

using Writer = DialogTemplateWriter<512>;

// Labels left, values right, one row each; the preview box below the group.
constexpr Writer SelectorPanel = [] {
    Writer t(WS_CHILD | Shown, 0, {0, 0, 112, 184}, u"", 8, u"Tahoma");
    t.Item(DialogClassButton, Shown | BS_GROUPBOX, {4, 6, 104, 74}, NoId, u"Information");
    t.Item(DialogClassStatic, Label, {10, 18, 42, 9}, NoId, u"Type :");
    t.Item(DialogClassStatic, Label, {54, 18, 50, 9}, ImageSelectorTypeId, u"");
    t.Item(DialogClassStatic, Label, {10, 30, 42, 9}, NoId, u"Width :");
    t.Item(DialogClassStatic, Label, {54, 30, 50, 9}, ImageSelectorWidthId, u"");
    t.Item(DialogClassStatic, Label, {10, 42, 42, 9}, NoId, u"Height :");
    t.Item(DialogClassStatic, Label, {54, 42, 50, 9}, ImageSelectorHeightId, u"");
    t.Item(DialogClassStatic, Label, {10, 54, 42, 9}, NoId, u"Depth :");
    t.Item(DialogClassStatic, Label, {54, 54, 50, 9}, ImageSelectorDepthId, u"");
    t.Item(DialogClassStatic, Label, {10, 66, 42, 9}, ImageSelectorFramesLabelId, u"# frames :");
    t.Item(DialogClassStatic, Label, {54, 66, 50, 9}, ImageSelectorFramesId, u"");
    t.Item(DialogClassStatic, Shown | SS_OWNERDRAW, {4, 84, 104, 94}, ImageSelectorPreviewId, u"");
    return t;
}();

static_assert(SelectorPanel.Complete());

constexpr BinaryResource Binaries[] = {
    {RT_DIALOG, ImageSelectorTemplateId, SelectorPanel.Data(), SelectorPanel.Bytes()},
};

} // namespace

// The program that loads the library exports a table of the same name. The library's own is defined under a
// hidden name of its own and exported under the common one by the assembler alone, so that neither the
// dynamic linker nor the address sanitizer takes the two tables for one.
extern "C" {
__attribute__((visibility("hidden"))) extern const ModuleResources LibraryResources;
const ModuleResources LibraryResources = {nullptr, 0, Binaries, std::size(Binaries)};
}
static_assert(sizeof(ModuleResources) == 32);
asm(".globl VtrModuleResources\n"
    ".type VtrModuleResources, @object\n"
    ".size VtrModuleResources, 32\n"
    ".set VtrModuleResources, LibraryResources\n");

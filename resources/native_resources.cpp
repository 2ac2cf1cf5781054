// The module's resources for the native build: the same template and bitmap list the resource
// compiler reads for the DLL, expanded into the headless window layer's tables.
#include <windows.h>

#include "headless/headless_control.h"
#include "resources/resource_ids.h"

#ifndef LXAGREE_RESOURCE_DIR
#error "LXAGREE_RESOURCE_DIR must name the folder that holds the bitmap files"
#endif

namespace {

#define LX_DIALOG(name, x, y, cx, cy, style, caption, pointsize, font)
#define LX_CONTROL(id, cls, style, x, y, cx, cy, text) \
    {id, cls, (style) | WS_CHILD | WS_VISIBLE, x, y, cx, cy, text},
#define LX_DIALOG_END
#define LX_BITMAP(id, file)
const HeadlessControlTemplate kAgreementControls[] = {
#include "resources/agreement_template.inc"
};
#undef LX_DIALOG
#undef LX_CONTROL
#undef LX_DIALOG_END
#undef LX_BITMAP

#define LX_DIALOG(name, x, y, cx, cy, style, caption, pointsize, font) \
    {#name,                                                            \
     style,                                                            \
     x,                                                                \
     y,                                                                \
     cx,                                                               \
     cy,                                                               \
     caption,                                                          \
     pointsize,                                                        \
     font,                                                             \
     kAgreementControls,                                               \
     sizeof kAgreementControls / sizeof kAgreementControls[0]},
#define LX_CONTROL(id, cls, style, x, y, cx, cy, text)
#define LX_DIALOG_END
#define LX_BITMAP(id, file)
const HeadlessDialogTemplate kDialogs[] = {
#include "resources/agreement_template.inc"
};
#undef LX_DIALOG
#undef LX_CONTROL
#undef LX_DIALOG_END
#undef LX_BITMAP

#define LX_DIALOG(name, x, y, cx, cy, style, caption, pointsize, font)
#define LX_CONTROL(id, cls, style, x, y, cx, cy, text)
#define LX_DIALOG_END
#define LX_BITMAP(id, file) {id, LXAGREE_RESOURCE_DIR "/" file},
const HeadlessBitmapResource kBitmaps[] = {
#include "resources/agreement_template.inc"
};
#undef LX_DIALOG
#undef LX_CONTROL
#undef LX_DIALOG_END
#undef LX_BITMAP

}  // namespace

const HeadlessModuleResources kHeadlessModuleResources = {
    kDialogs, sizeof kDialogs / sizeof kDialogs[0], kBitmaps, sizeof kBitmaps / sizeof kBitmaps[0]};

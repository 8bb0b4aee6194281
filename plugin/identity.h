// The plugin's identity: version number, author credit and description.
#pragma once

#include <cstdint>
#include <string_view>

#include "plugin/plugin_version.h"

namespace qtr {

constexpr int32_t kPluginVersion = 111;
static_assert(kPluginVersion == QTR_VERSION_MAJOR * 100 + QTR_VERSION_MINOR * 10 + QTR_VERSION_PATCH,
              "plugin/plugin_version.h (the Windows version resource) must agree");

constexpr std::string_view kPluginAuthor = "quillhand - rookfable-plugins.example.org";

// In Japanese (Shift_JIS): borrows mame_jp.lst from quillmarsh's room.
constexpr std::string_view kPluginInfo =
    "quillmarsh"
    "\x82\xCC\x95\x94\x89\xAE\x82\xB3\x82\xF1\x82\xCC"
    " mame_jp.lst "
    "\x82\xF0\x94\x71\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42";

}  // namespace qtr

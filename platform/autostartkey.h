#pragma once
// The machine's Run key as a view of an autostart folder of .desktop files: each entry, in
// file-name order, is one value named by its Name whose text is its command with the program in
// double quotes. Writing a value replaces the entry of that Name (any letter case) or adds one.

#include "platform/registry.h"

namespace rimo {

// Every character of `title` but letters, digits, "-" and "_" replaced by "_", so that no title
// names a file outside the folder; "entry" for an empty title.
QString autostartFileBase(const QString& title);
// `"program" arg ...`: the program always quoted, an argument only when it holds a blank or quote.
QString autostartCommandText(const QStringList& programAndArguments);
// The reverse: the program in leading double quotes (or up to the first blank), then arguments
// split at blanks outside double quotes. Empty for a blank text.
QStringList splitAutostartCommand(const QString& text);

// nullptr when the folder does not exist, or for write and full access when the user may not
// write it.
std::unique_ptr<RegistryKey> openAutostartKey(const QString& folder, RegistryAccess access);

} // namespace rimo

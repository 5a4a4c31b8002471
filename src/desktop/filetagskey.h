#pragma once

// Whether the files Vidrona makes carry their own title, source and cover,
// kept in the preferences file under a plain key a person may edit:
//   tags = true | false   (true when absent; only false, 0, no or off turn it off)
namespace vidrona::desktop {

class IniText;

bool readFileTags(const IniText &ini);
void writeFileTags(IniText &ini, bool on);

} // namespace vidrona::desktop

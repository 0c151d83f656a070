// Links to folders, planted the way a hostile neighbour would plant them.
// Windows makes a junction; Wine stores no junctions, so there the link is a
// symbolic link made on the Unix side, which Wine shows as Windows shows a
// junction (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY).
//
// Careful under Wine: every Win32 call on a link acts on what it points to
// (RemoveDirectoryA removes an empty target, MoveFileExA moves the target,
// std::filesystem::remove_all empties it). Remove links with RemoveFolderLink
// before anything removes the folder that holds them.
#pragma once

#include <string>
#include <utility>

// True when link now names a link to the folder target.
bool MakeFolderLink(const std::string& link, const std::string& target);

// Removes the link itself, never anything behind it; true when it is gone.
bool RemoveFolderLink(const std::string& link);

// Renames folder to aside and plants a link to target in its place, as a
// neighbour who can rename the folder would. Under Wine this is done on the
// Unix side, past the sharing rules, since nothing else can make a link
// there. True when the link is in place.
bool SwapFolderForLink(const std::string& folder, const std::string& aside, const std::string& target);

// Whether a link opened without following it (FILE_FLAG_OPEN_REPARSE_POINT)
// is the link itself here. Windows: yes. Wine: no, it opens the target.
bool PlatformOpensLinksThemselves();

// A link planted for one test and removed at its end; declare it after the
// folders it lies in.
class CFolderLink {
public:
    CFolderLink(std::string link_, const std::string& target) : link(std::move(link_)), planted(MakeFolderLink(link, target)) {}
    ~CFolderLink() { RemoveFolderLink(link); }
    CFolderLink(const CFolderLink&) = delete;
    CFolderLink& operator=(const CFolderLink&) = delete;

    bool Planted() const { return planted; }

private:
    std::string link;
    bool planted;
};

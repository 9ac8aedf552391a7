#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace skiff::server {

// Folders below a receive folder, entered and made one at a time through descriptors. No
// folder on the way may be a symbolic link, so nothing written through the tree can land
// outside the receive folder, whatever anyone plants inside it.
class FolderTree {
  public:
    // Opens `root` itself; it is the user's choice and may be reached through a link.
    explicit FolderTree(const std::filesystem::path& root);
    ~FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // The receive folder's descriptor, or -1 when it could not be opened.
    int root() const { return m_fds.front(); }
    // The deepest folder entered so far.
    int current() const { return m_fds.back(); }

    // Enters `folder` below the current one, making it when it is missing. ENOTDIR when
    // something other than a real folder (a link, a file) holds the name.
    std::error_code enter(const std::string& folder);
    // Makes `folder` below the current one and enters it; EEXIST when the name is taken.
    std::error_code enterNew(const std::string& folder);
    // Removes the folders this tree made, deepest first, as far as they are still empty.
    void undo();
    // Syncs every folder that got a new folder or `alsoCurrent` a new file.
    bool sync(bool alsoCurrent) const;
    // Whether any folder was made.
    bool madeAny() const;

  private:
    std::error_code open(const std::string& folder, bool made);

    std::vector<int> m_fds;  // the root first
    std::vector<std::string> m_names;
    std::vector<bool> m_made;  // per folder entered below the root
};

}  // namespace skiff::server

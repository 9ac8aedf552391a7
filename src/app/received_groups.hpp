#pragma once

#include <vector>

#include "app/app_records.hpp"

namespace skiff::app {

// The received files as the window lists them, newest first; texts are not among them. Files that
// came in a folder are not listed one by one: their top folder is one entry, with their count and
// total size, where its newest file arrived. Its id is that of its first file, so it stays put
// while more arrive.
std::vector<FileEntry> groupReceived(const std::vector<ReceivedItem>& items);

}  // namespace skiff::app

#include "folder_view_seam.h"

namespace tandex::ui {

namespace {
FolderViewServices* installed = nullptr;
}

FolderViewServices& folderView() {
    static FolderViewServices fallback;
    return installed ? *installed : fallback;
}

void setFolderView(FolderViewServices* services) { installed = services; }

}  // namespace tandex::ui

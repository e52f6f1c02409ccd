// The workspace's paths: the folders as the dialogs start in them, files in them, and the root
// however the executable's folder was given.
#include <gtest/gtest.h>

#include "workspace/workspacefolders.h"

namespace tavlo {
namespace {

TEST(WorkspaceFoldersTest, FoldersAndFilesLieInTheExecutablesFolder) {
  for (const char* root : {"/opt/tavlo", "/opt/tavlo/"}) {
    SCOPED_TRACE(root);
    const TWorkspaceFolders workspace(root);
    EXPECT_EQ(workspace.Root(), "/opt/tavlo/");
    EXPECT_EQ(workspace.TablesFolder(), "/opt/tavlo/tables");
    EXPECT_EQ(workspace.FormsFolder(), "/opt/tavlo/forms");
    EXPECT_EQ(workspace.ReportsFolder(), "/opt/tavlo/reports");
    EXPECT_EQ(workspace.TableFile("clients.dbf"), "/opt/tavlo/tables/clients.dbf");
    EXPECT_EQ(workspace.FormFile("clients.dfrm"), "/opt/tavlo/forms/clients.dfrm");
    EXPECT_EQ(workspace.ReportFile("template.html"), "/opt/tavlo/reports/template.html");
    EXPECT_EQ(workspace.HelpFile(), "/opt/tavlo/Tavlo.hlp");
  }
  // An executable in the file system's root, or a folder not told.
  EXPECT_EQ(TWorkspaceFolders("/").FormFile("a.dfrm"), "/forms/a.dfrm");
  EXPECT_EQ(TWorkspaceFolders("").Root(), "/");
}

}  // namespace
}  // namespace tavlo

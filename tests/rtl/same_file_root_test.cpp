// Names of files not yet created directly under the root directory: the
// directory of "/x" is "/" itself, however the name is spelled.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "rtl/for_rtl.h"

namespace {

bool same(const std::string &a, const std::string &b) {
  return for__same_file(a.data(), static_cast<int64_t>(a.size()), b.data(), static_cast<int64_t>(b.size())) != 0;
}

// A real directory directly under the root whose ".." is the root: /tmp may
// be a link or missing on a build machine, so one is looked for.
std::string directory_under_root() {
  struct stat root;
  if (stat("/", &root) != 0) return {};
  DIR *d = opendir("/");
  if (!d) return {};
  std::string found;
  while (const dirent *e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st, up;
    if (lstat(("/" + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (stat(("/" + name + "/..").c_str(), &up) != 0 || up.st_dev != root.st_dev || up.st_ino != root.st_ino)
      continue;
    found = "/" + name;
    break;
  }
  closedir(d);
  return found;
}

TEST(SameFileAtTheRoot, NamesOfFilesNotYetCreatedInTheRootDirectory) {
  const std::string dir = directory_under_root();
  ASSERT_FALSE(dir.empty()) << "no directory under / whose parent is /";
  const std::string f = "/tavo-no-such-file-7Q3.inp";
  for (const std::string &other :
       {dir + "/../tavo-no-such-file-7Q3.inp", std::string("/./tavo-no-such-file-7Q3.inp"),
        std::string("//tavo-no-such-file-7Q3.inp")}) {
    EXPECT_TRUE(same(f, other)) << other;
    EXPECT_TRUE(same(other, f)) << other;
  }
  EXPECT_FALSE(same(f, dir + "/tavo-no-such-file-7Q3.inp"));
  EXPECT_FALSE(same(f, "/tavo-no-such-file-7Q4.inp"));
}

}  // namespace

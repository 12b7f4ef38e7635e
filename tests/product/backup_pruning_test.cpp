#include "product/backup_pruning.h"

#include <gtest/gtest.h>

using dlx::String;

namespace {

String Archive(const char16_t* version, const char16_t* stamp) {
  return String(u"C:\\ZUVA\\!Backup\\z Before install ") + version + u" [" + stamp + u"].zip";
}

TEST(ArchivesToPrune, OrdersVersionsAsNumbersAndNeverTakesTheWrittenOne) {
  const String v505 = Archive(u"5.05", u"2026.01.01 10-00-00");
  const String v999 = Archive(u"9.99", u"2025.01.01 10-00-00");
  const String v1000 = Archive(u"10.00", u"2024.01.01 10-00-00");
  const String v1000later = Archive(u"10.00", u"2024.06.01 10-00-00");
  const String v999b = Archive(u"9.100", u"2023.01.01 10-00-00");
  const String foreign = u"C:\\ZUVA\\!Backup\\my own photos.zip";
  struct Case {
    const char* name;
    std::vector<String> archives;
    String written;
    std::vector<String> pruned;
  };
  const std::vector<Case> cases = {
      {"three or fewer stay", {v505, v999, v1000}, String(), {}},
      // By text "10.00" would sort before "5.05" and be the first to go.
      {"versions as numbers", {v1000, v505, v999, v1000later}, String(), {v505}},
      {"same version: the earlier time goes", {v1000later, v1000, v999b, v999}, String(), {v999}},
      {"9.100 is newer than 9.99", {v999b, v999, v505, v1000}, String(), {v505}},
      // A downgrade writes an archive of a lower version: it is this run's, it stays.
      {"the written archive counts but never goes", {v505, v999, v1000, v1000later}, v505, {v999}},
      {"names not of the archives' form are left alone",
       {foreign, v505, v999, v1000, v1000later},
       String(),
       {v505}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ArchivesToPrune(c.archives, c.written, 3), c.pruned);
  }
}

}  // namespace

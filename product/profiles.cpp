#include "product/profiles.h"

#include "core/confined_folder.h"
#include "core/installer.h"
#include "core/product_info.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "product/product_names.h"

using dlx::String;

String TInstallerProfileHelper::GetDataPath(const TDLXUserAccountInfo* account, int version) {
  if (!account) return Installer->DestPath() + zuva_names::kPortableDataFolder;
  const String folder =
      version >= 4000 ? Installer->ProductInfo().GetName() : String(zuva_names::kDataFolderOld);
  return account->AppDataPath + folder + u"\\";
}

bool TInstallerProfileHelper::IsReachedWithoutLinks(const String& folder) {
  if (dlx::DirectoryExists(folder) || IsReparsePoint(folder)) return IsFolderReachedWithoutLinks(folder);
  // A folder still to be made: the folder it is made in must be no link either.
  return IsFolderReachedWithoutLinks(dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(folder)));
}

std::vector<String> TInstallerProfileHelper::AllDataPaths() {
  std::vector<String> folders = {GetDataPath(nullptr, 0)};
  const auto accounts = TDLXUserAccounts::Populate();
  for (int i = 0; i < accounts->Count(); ++i)
    for (int version : {3999, 4000}) folders.push_back(GetDataPath(&accounts->Items(i), version));
  return folders;
}

void TInstallerProfileHelper::Populate(TInstallerProfileInfoList& list) {
  TInstallerProductInfo& product = Installer->ProductInfo();
  const int newVersion = product.GetVersionId();
  const int oldVersion = product.GetInstalledVersion();
  auto add = [&](const String& userName, const TDLXUserAccountInfo* account) {
    auto info = std::make_unique<TInstallerProfileInfo>();
    info->UserName = userName;
    info->DataPath = GetDataPath(account, newVersion);
    info->OldDataPath = GetDataPath(account, oldVersion);
    if (!dlx::DirectoryExists(info->OldDataPath)) return;
    // A user may replace the data folder, or a folder on the way to it, by a link to any folder of
    // the machine; this elevated run would then archive, copy into and delete that folder.
    const bool linked =
        account ? !IsReachedWithoutLinks(info->OldDataPath) || !IsReachedWithoutLinks(info->DataPath)
                : IsReparsePoint(info->OldDataPath) || IsReparsePoint(info->DataPath);
    if (linked) {
      dlx::Log(u"Profile " + info->UserName + u": the data folder \"" + info->OldDataPath + u"\" or \"" +
               info->DataPath +
               u"\" is a link or is reached through one; the user's data is skipped (neither "
               u"backed up, nor moved, nor deleted)");
      return;
    }
    dlx::Log(u"Profile " + info->UserName + u": " + info->OldDataPath + u" -> " + info->DataPath);
    list.Add(std::move(info));
  };
  if (Installer->HasOption(ioPortable)) {
    add(zuva_names::kSingleUserName, nullptr);
    return;
  }
  // Without an installed copy at the destination there is no "installed version" whose data
  // folders could be meant: version 0 would name the older generation's folders, which may
  // belong to a copy installed elsewhere, and the backup would delete them.
  if (oldVersion <= 0) {
    dlx::Log(u"No installed version at the destination: the users' data folders are left alone");
    return;
  }
  const auto accounts = TDLXUserAccounts::Populate();
  for (int i = 0; i < accounts->Count(); ++i) add(accounts->Items(i).UserName, &accounts->Items(i));
}

#!/usr/bin/env python3
"""Checks the winget manifests that the build wrote beside a setup against that setup, as winget's
validation would before a vendor publishes them: winget_manifest.py <manifest folder> <setup.exe>
<settings file> <architecture>. The settings file holds the install script's settings as
"ipk5 settings" prints them. Prints one problem per line and exits 1 when there is any; otherwise
prints the switches and the uninstall-list identity as shell assignments (name='value') and exits 0.
"""
import hashlib
import os
import re
import sys

import yaml

SCHEMA = "1.28.0"
IDENTIFIER = re.compile(r'^[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}$')
RETURN_CODES = {1602: "cancelledByUser", 1603: "contactSupport", 1618: "installInProgress",
                3010: "rebootRequiredForInstall"}


def main(folder, setup, settings_file, architecture):
    problems = []

    def check(condition, text):
        if not condition:
            problems.append(text)
        return condition

    settings = {}
    with open(settings_file, encoding="utf-8") as f:
        for line in f:
            name, _, value = line.rstrip("\n").partition("=")
            settings[name] = value
    names = sorted(os.listdir(folder))
    documents = {}
    for name in names:
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            text = f.read()
        document = yaml.safe_load(text)
        if not check(isinstance(document, dict), f"{name}: not a YAML mapping"):
            continue
        kind = document.get("ManifestType")
        documents[kind] = document
        check(f"$schema=https://aka.ms/winget-manifest.{kind}.{SCHEMA}.schema.json" in text,
              f"{name}: no schema line for {kind} {SCHEMA}")
        check(document.get("ManifestVersion") == SCHEMA, f"{name}: ManifestVersion {document.get('ManifestVersion')}")
    if not check(sorted(documents) == ["defaultLocale", "installer", "version"] and len(names) == 3,
                 f"expected the three manifests version, defaultLocale and installer, found {names}"):
        return problems, {}
    version, locale, installer = documents["version"], documents["defaultLocale"], documents["installer"]
    identifier = version.get("PackageIdentifier", "")
    check(bool(IDENTIFIER.match(identifier)), f"PackageIdentifier {identifier!r} is not Publisher.Package")
    check(names == sorted([f"{identifier}.yaml", f"{identifier}.installer.yaml", f"{identifier}.locale.en-US.yaml"]),
          f"file names do not follow the identifier: {names}")
    display_version = settings.get("ProductVersionNo") or settings.get("ProductVersion")
    for kind, document in documents.items():
        check(document.get("PackageIdentifier") == identifier, f"{kind}: another PackageIdentifier")
        check(document.get("PackageVersion") == display_version,
              f"{kind}: PackageVersion {document.get('PackageVersion')!r}, the setup's is {display_version!r}")
    check(version.get("DefaultLocale") == locale.get("PackageLocale") == "en-US", "default locale is not en-US")
    check(locale.get("Publisher") == settings.get("Publisher"), f"Publisher {locale.get('Publisher')!r}")
    check(locale.get("PackageName") == settings.get("ProductName"), f"PackageName {locale.get('PackageName')!r}")
    for field in ("License", "ShortDescription"):
        check(bool(locale.get(field)), f"defaultLocale: {field} is required")

    check(installer.get("InstallerType") == "exe", "InstallerType is not exe")
    check(installer.get("UpgradeBehavior") == "install", "UpgradeBehavior is not install")
    check(installer.get("InstallerSuccessCodes") == [3010], f"InstallerSuccessCodes {installer.get('InstallerSuccessCodes')}")
    codes = {entry.get("InstallerReturnCode"): entry.get("ReturnResponse")
             for entry in installer.get("ExpectedReturnCodes") or []}
    check(codes == RETURN_CODES, f"ExpectedReturnCodes {codes}")
    entries = installer.get("AppsAndFeaturesEntries") or [{}]
    entry = entries[0]
    check(len(entries) == 1, "more than one AppsAndFeaturesEntries entry")
    check(entry.get("DisplayName") == settings.get("ProductName"), f"DisplayName {entry.get('DisplayName')!r}")
    check(entry.get("Publisher") == settings.get("Publisher"), f"entry Publisher {entry.get('Publisher')!r}")
    check(entry.get("DisplayVersion") == display_version, f"DisplayVersion {entry.get('DisplayVersion')!r}")
    check(entry.get("ProductCode") == settings.get("ProductName"), f"ProductCode {entry.get('ProductCode')!r}")
    installers = installer.get("Installers") or []
    if check(len(installers) == 1, f"{len(installers)} installers instead of one"):
        with open(setup, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest().upper()
        check(installers[0].get("InstallerSha256") == digest, "InstallerSha256 is not the built setup's SHA-256")
        check(installers[0].get("Architecture") == architecture, f"Architecture {installers[0].get('Architecture')}")
        check(re.match(r"^https?://.+", installers[0].get("InstallerUrl", ""), re.I) is not None, "InstallerUrl")
    switches = installer.get("InstallerSwitches") or {}
    check(set(switches.get("Silent", "").split()) >= {"/AUTO", "/SILENT", "/SUPPRESSMSGBOXES"},
          f"Silent switches {switches.get('Silent')!r}")
    check("/AUTO" in switches.get("SilentWithProgress", "").split(), "SilentWithProgress has no /AUTO")
    check("<INSTALLPATH>" in switches.get("InstallLocation", ""), "InstallLocation has no <INSTALLPATH>")
    check("<LOGPATH>" in switches.get("Log", ""), "Log has no <LOGPATH>")
    check(bool(switches.get("Upgrade")), "no Upgrade switch")
    shell = {"silent": switches.get("Silent", ""), "silent_with_progress": switches.get("SilentWithProgress", ""),
             "location": switches.get("InstallLocation", ""), "log": switches.get("Log", ""),
             "upgrade": switches.get("Upgrade", ""), "display_name": entry.get("DisplayName", ""),
             "publisher": entry.get("Publisher", ""), "display_version": entry.get("DisplayVersion", ""),
             "product_code": entry.get("ProductCode", "")}
    return problems, shell


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    found, values = main(*sys.argv[1:])
    for problem in found:
        print(f"manifest: {problem}")
    if found:
        sys.exit(1)
    for key, value in values.items():
        print(f"{key}='" + str(value).replace("'", "'\\''") + "'")

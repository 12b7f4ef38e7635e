#!/usr/bin/env python3
"""Builds an installation of an older ZUVA as it lies on disk, for the update tests.

    make-old-installation.py GENERATION DEST [--user NAME=APPDATA]... [--names product/product_names.h]

GENERATION is the installed version number:
  3900  the older generation ("ZUVA3" names), installed for the machine's users: ZUVA3.ini in DEST,
        each user's data folder APPDATA/ZUVA3/ with the generation's settings, library and backups;
  4500  a portable copy: ZUVA.ini with UserMode=0, its data folder DEST/Profile/, user plug-ins,
        icons and skins;
  5020  a current-generation installation for the machine's users: ZUVA.ini, APPDATA/ZUVA/.
DEST and APPDATA are host paths (a Wine prefix's drive_c below). The product's own file names come
from product/product_names.h, the one place that holds them. Every file's content names the file
and the version, so a test can tell old files from new ones. Prints the files it wrote, one a line,
relative to DEST or as "<user>:<path relative to the data folder>". Registry entries are the
caller's (it knows its Wine prefix).
"""
import argparse
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def read_names(header):
    """The string constants and arrays of product_names.h, by name."""
    text = open(header, encoding="utf-8").read()
    scalars = dict(re.findall(r'inline constexpr char16_t (\w+)\[\] = u"((?:[^"\\]|\\.)*)";', text))
    scalars = {k: v.replace("\\\\", "\\") for k, v in scalars.items()}

    def value(token):
        token = token.strip()
        if token.startswith('u"'):
            return token[2:-1].replace("\\\\", "\\")
        return scalars[token]

    arrays = {}
    for name, body in re.findall(r"inline constexpr std::array<[^>]*> (\w+) = \{\{?(.*?)\}?\};", text, re.S):
        body = re.sub(r"//[^\n]*", "", body)
        pairs = re.findall(r"\{([^{}]*)\}", body)
        if pairs:
            arrays[name] = [[value(t) if not re.fullmatch(r"\s*\d+\s*", t) else int(t)
                             for t in p.split(",")] for p in pairs]
        else:
            arrays[name] = [value(t) for t in body.split(",") if t.strip()]
    return scalars, arrays


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(content)


def ini(version, user_mode, extra=""):
    text = "[System]\r\nUserMode=%d\r\nVersion=%d\r\nDefaultLang=English.lng\r\nSkin=Classic\r\n" % (user_mode, version)
    return (text + "[Integration]\r\nCB1=1\r\nCB3=0\r\n" + extra).encode("utf-8")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("generation", type=int, choices=[3900, 4500, 5020])
    parser.add_argument("dest")
    parser.add_argument("--user", action="append", default=[], help="NAME=APPDATA folder of a user")
    parser.add_argument("--names", default=os.path.join(HERE, "..", "product", "product_names.h"))
    args = parser.parse_args()
    scalars, arrays = read_names(args.names)
    version = args.generation
    dest = args.dest
    written = []

    def put(rel, label=None, content=None):
        path = os.path.join(dest, *rel.split("\\"))
        write(path, content if content is not None else ("%s of ZUVA %d\r\n" % (rel, version)).encode("utf-8"))
        written.append(label or rel)

    def put_data(user, folder, name, content=None):
        write(os.path.join(folder, *name.split("\\")), content if content is not None else
              ("%s of %s, ZUVA %d\r\n" % (name, user, version)).encode("utf-8"))
        written.append("%s:%s" % (user, name))

    config = scalars["kConfigFileOld"] if version < 4000 else scalars["kConfigFile"]
    put(config, content=ini(version, 0 if version == 4500 else 1))
    for name in ["ZUVA.exe", "Registrar.exe", "Uninstall.exe", "Uninstall.dat", "Readme.txt",
                 "System\\Data\\Formats.ini", "Skins\\Default.zskin"]:
        put(name)
    for name in arrays["kShellMenuLibraries"]:
        put(name)
    # Cache databases and the self-updater: deleted by the update, never in its backup.
    put(arrays["kNotBackedUpFiles"][0])
    put(arrays["kNotBackedUpFiles"][4])
    for plugin, below in arrays["kObsoletePluginFolders"]:
        if below == 0 or version < below:
            put("Plugins\\%s\\%s.dll" % (plugin, plugin))

    data_name = scalars["kDataFolderOld"] if version < 4000 else "ZUVA"
    if version == 3900:
        put("Skins\\" + arrays["kObsoleteSkinFiles"][0])
        for user, appdata in (u.split("=", 1) for u in args.user):
            folder = os.path.join(appdata, data_name)
            for old, _new in arrays["kGeneration3Renames"]:
                put_data(user, folder, old)
            for name in arrays["kGeneration3Obsolete"]:
                put_data(user, folder, name)
            for name in ["kAlbumArtDatabase", "kAlbumArtCache", "kCustomAlbumArtOld"]:
                put_data(user, folder, scalars[name])
            put_data(user, folder, "Playlists\\Favourites.zpl")
    elif version == 4500:
        profile = "Profile\\"
        put(profile + scalars["kConfigFile"], content=ini(version, 0))
        for name in ["kAlbumArtCache", "kCustomAlbumArtOld"]:
            put(profile + scalars[name])
        put(profile + "Playlists\\Road trip.zpl")
        # The user-extensible folders that an update keeps.
        put("Plugins\\zuva_visualizer_user\\visualizer.dll")
        put("Icons\\mine.ico")
        put("Skins\\Sunset.zskin")
        put("System\\Encoders\\flac.ini")
    else:
        for user, appdata in (u.split("=", 1) for u in args.user):
            folder = os.path.join(appdata, data_name)
            put_data(user, folder, scalars["kConfigFile"], ini(version, 1))
            for name in ["kAlbumArtCache", "kCustomAlbumArtOld"]:
                put_data(user, folder, scalars[name])
            put_data(user, folder, "ZUVA.zdb")
    print("\n".join(written))


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks the release: the ZIP has the files a user needs and no driver
library beside Kelvra.exe; each program is stripped and carries its manifest
and version information; the MSI, read back with msiinfo rather than trusting
wixl, installs per machine the same programs as the ZIP, its settings file and
shortcuts, under the fixed UpgradeCode, and no emulated library.
Usage: check-release.py --version VERSION ZIP MSI"""
import argparse
import pathlib
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

WANTED = {"Kelvra.exe", "KelvraStation.exe", "kelvra-image.exe", "kelvra-cli.exe", "kelvra-ledger.exe", "Kelvra.ini",
          "README-Windows.txt",
          "emulated-drivers/VT_HIDA.dll", "emulated-drivers/VT_HIDB.dll", "emulated-drivers/VT_HIDC.dll",
          "emulated-drivers/README.txt", "emulated-drivers/try-kelvra.cmd",
          "emulated-drivers/stdcall/VT_HIDA.dll", "emulated-drivers/stdcall/VT_HIDB.dll",
          "emulated-drivers/stdcall/VT_HIDC.dll",
          "samples/vt-a.hex", "samples/vt-b.hex", "samples/vt-c.hex"}
PROGRAMS = ["Kelvra.exe", "KelvraStation.exe", "kelvra-image.exe", "kelvra-cli.exe", "kelvra-ledger.exe"]
MANIFEST_ENTRIES = {
    "asInvoker": r'requestedExecutionLevel\s+level="asInvoker"',
    "Windows 7": r"\{35138b9a-5d96-4fbd-8e2d-a2440225f93a\}",
    "Windows 8": r"\{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38\}",
    "Windows 8.1": r"\{1f676c76-80e1-4239-95bb-83d0f6d0da78\}",
    "Windows 10 and 11": r"\{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a\}",
    "common controls 6": r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"',
    "DPI awareness": r"<dpiAware[^>]*>true</dpiAware>",
}
RT_MANIFEST = 24
RT_VERSION = 16
VERSION_TEXTS = ["CompanyName", "FileDescription", "ProductName"]


def sections(image):
    """(name, virtual address, raw offset, raw size) of each section, and the PE header offset."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    machine, count, _, symbols, symbol_count, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
    table = pe + 24 + optional_size
    found = []
    for index in range(count):
        raw = struct.unpack_from("<8sIIII", image, table + 40 * index)
        found.append((raw[0].rstrip(b"\0").decode("ascii", "replace"), raw[2], raw[4], raw[3]))
    return machine, symbols, symbol_count, found


def resource(image, rsrc, type_id):
    """The data of the first resource of a type, or None."""
    name, address, offset, size = rsrc

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, offset + directory + 12)
        for index in range(named + numbered):
            yield struct.unpack_from("<II", image, offset + directory + 16 + 8 * index)

    def first_leaf(target):
        while target & 0x80000000:
            target = next(entries(target & 0x7FFFFFFF))[1]
        data, length = struct.unpack_from("<II", image, offset + target)
        return image[offset + data - address:offset + data - address + length]

    for ident, target in entries(0):
        if ident == type_id:
            return first_leaf(target)
    return None


def version_information(data):
    """The fixed file and product versions and the string values of a version resource."""
    def aligned(offset):
        return (offset + 3) & ~3

    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", data, offset)
        end = offset + 6
        while data[end:end + 2] != b"\0\0":
            end += 2
        key = data[offset + 6:end].decode("utf-16-le")
        value_start = aligned(end + 2)
        value = data[value_start:value_start + (value_length * 2 if kind == 1 else value_length)]
        children, child = [], aligned(value_start + len(value))
        while child < offset + length:
            children.append(node(child))
            child = aligned(child + struct.unpack_from("<H", data, child)[0])
        return key, value, children

    _, fixed, tables = node(0)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        raise ValueError("no fixed file information")
    numbers = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    texts = {key: value.decode("utf-16-le").split("\0")[0]
             for table_key, _, string_tables in tables if table_key == "StringFileInfo"
             for _, _, strings in string_tables for key, value, _ in strings}
    return numbers(file_ms, file_ls), numbers(product_ms, product_ls), texts


def check_version_information(name, data, version):
    if data is None:
        return [f"{name}: has no version information"]
    file_version, product_version, texts = version_information(data)
    wanted = {"fixed file version": file_version, "fixed product version": product_version,
              "FileVersion": texts.get("FileVersion"), "ProductVersion": texts.get("ProductVersion")}
    problems = [f"{name}: {field} is {value}, not {version}" for field, value in wanted.items() if value != version]
    problems += [f"{name}: {field} is empty" for field in VERSION_TEXTS if not texts.get(field)]
    if texts.get("OriginalFilename") != name:
        problems.append(f"{name}: OriginalFilename is {texts.get('OriginalFilename')}")
    return problems


def check_program(name, image, version):
    problems = []
    machine, symbols, symbol_count, found = sections(image)
    if machine != 0x14C:
        problems.append(f"{name}: not a 32-bit x86 program (machine {machine:#x})")
    if symbols or symbol_count:
        problems.append(f"{name}: carries a symbol table")
    debug = [section[0] for section in found if section[0].startswith((".debug", "/"))]
    if debug:
        problems.append(f"{name}: carries debug sections {debug}")
    rsrc = next((section for section in found if section[0] == ".rsrc"), None)
    if rsrc:
        problems += check_version_information(name, resource(image, rsrc, RT_VERSION), version)
    manifest = resource(image, rsrc, RT_MANIFEST) if rsrc else None
    if manifest is None:
        return problems + [f"{name}: has no manifest resource"]
    text = manifest.decode("utf-8", "replace")
    problems += [f"{name}: manifest lacks {entry}" for entry, pattern in MANIFEST_ENTRIES.items()
                 if not re.search(pattern, text)]
    if "activeCodePage" in text:
        problems.append(f"{name}: manifest sets an active code page")
    return problems


# What wixl writes for Kelvra.wxs; another table means an element it took
# differently, or one added without checking what it does on install.
MSI_TABLES = {"_SummaryInformation", "_ForceCodepage", "AdminExecuteSequence", "AdminUISequence",
              "AdvtExecuteSequence", "AppSearch", "Binary", "Component", "CreateFolder", "CustomAction",
              "Directory", "Error", "Feature", "FeatureComponents", "File", "Icon", "InstallExecuteSequence",
              "InstallUISequence", "LaunchCondition", "Media", "MsiFileHash", "Property", "RegLocator",
              "Registry", "RemoveFile", "ServiceControl", "ServiceInstall", "Shortcut", "Signature", "Upgrade"}
MSI_FILES = ["Kelvra.exe", "KelvraStation.exe", "kelvra-cli.exe", "kelvra-ledger.exe", "kelvra-image.exe",
             "README-Windows.txt", "Kelvra.ini"]
# Fixed for good: a newer Kelvra finds the installed one by it.
UPGRADE_CODE = "{61276362-D87C-458F-B55E-EE9A54A82B8F}"
SHORTCUTS = {"Kelvra": "[INSTALLDIR]Kelvra.exe", "Kelvra Station": "[INSTALLDIR]KelvraStation.exe"}
UPGRADE_ONLY_DETECT = 2
NEVER_OVERWRITE = 128


def msi_table(path, table):
    """The rows of an MSI table as dictionaries, as msiinfo exports them."""
    lines = subprocess.run(["msiinfo", "export", path, table], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def msi_tables(path):
    return set(subprocess.run(["msiinfo", "tables", path], check=True, capture_output=True,
                              text=True).stdout.split())


def check_upgrade(actions, components, files, version):
    """build-msi.sh's changes to what wixl wrote, without which an upgrade
    puts the starting Kelvra.ini back over an engineer's edits, or may keep
    an older program."""
    problems = [f"{row['FileName']} has version {row['Version'] or 'none'} in the MSI, not {version}"
                for row in files if row["FileName"] in PROGRAMS and row["Version"] != version]
    order = sorted(actions, key=actions.get)
    removal = order.index("RemoveExistingProducts") if "RemoveExistingProducts" in order else 0
    # Windows Installer allows the removal there only right after InstallExecute.
    steps = [actions.get(action, 0) for action in ("InstallFiles", "InstallExecute", "RemoveExistingProducts",
                                                    "RegisterProduct")]
    if steps != sorted(set(steps)) or order[removal - 1] != "InstallExecute":
        problems.append("the older version is not removed after the files are installed and before registering")
    settings = [row for row in components if row["KeyPath"] == "Kelvra.ini"]
    if not settings or not int(settings[0]["Attributes"]) & NEVER_OVERWRITE:
        problems.append("an upgrade may overwrite the installed Kelvra.ini")
    return problems


def check_msi(path, version, archive, members):
    problems = [f"unexpected table {table}" for table in sorted(msi_tables(path) - MSI_TABLES)]
    properties = {row["Property"]: row["Value"] for row in msi_table(path, "Property")}
    for name, wanted in (("ALLUSERS", "1"), ("UpgradeCode", UPGRADE_CODE), ("ProductVersion", version)):
        if properties.get(name) != wanted:
            problems.append(f"{name} is {properties.get(name)}, not {wanted}")
    if not re.fullmatch(r"\d+\.\d+\.\d+(\.0)?", version):
        problems.append(f"version {version}: Windows Installer compares only the first three fields")
    summary = subprocess.run(["msiinfo", "suminfo", path], check=True, capture_output=True, text=True).stdout
    if not re.search(r"^Template: Intel;", summary, re.M):
        problems.append("not a 32-bit package: it would not install into Program Files (x86)")

    directories = {row["Directory"]: row for row in msi_table(path, "Directory")}
    install_dir = directories.get("INSTALLDIR", {})
    if (install_dir.get("Directory_Parent"), install_dir.get("DefaultDir")) != ("ProgramFilesFolder", "Kelvra"):
        problems.append(f"INSTALLDIR is not ProgramFilesFolder\\Kelvra: {install_dir}")
    components = {row["Component"]: row["Directory_"] for row in msi_table(path, "Component")}
    files = {row["FileName"]: components.get(row["Component_"]) for row in msi_table(path, "File")}
    problems += [f"lacks {name}" for name in MSI_FILES if name not in files]
    problems += [f"installs {name}, which it should not" for name in files if name not in MSI_FILES]
    problems += [f"installs {name} in {folder}, not INSTALLDIR" for name, folder in files.items()
                 if name in MSI_FILES and folder != "INSTALLDIR"]

    shortcuts = {row["Name"]: row for row in msi_table(path, "Shortcut")}
    if set(shortcuts) != set(SHORTCUTS):
        problems.append(f"shortcuts are {sorted(shortcuts)}, not {sorted(SHORTCUTS)}")
    for name, target in SHORTCUTS.items():
        row = shortcuts.get(name, {})
        # Kelvra reads Kelvra.ini from the folder it starts in.
        if row and (row["Target"], row["WkDir"]) != (target, "INSTALLDIR"):
            problems.append(f"shortcut {name} starts {row['Target']} in {row['WkDir']}")
        if row and directories.get(row["Directory_"], {}).get("Directory_Parent") != "ProgramMenuFolder":
            problems.append(f"shortcut {name} is not in a Start-menu folder")

    upgrades = msi_table(path, "Upgrade")
    older = [row for row in upgrades if row["VersionMax"] == version and not int(row["Attributes"]) & UPGRADE_ONLY_DETECT]
    newer = [row for row in upgrades if row["VersionMin"] == version and int(row["Attributes"]) & UPGRADE_ONLY_DETECT]
    if not older or any(row["UpgradeCode"] != UPGRADE_CODE for row in upgrades):
        problems.append("no major upgrade of older versions under the UpgradeCode")
    refused = {row["Condition"]: row["Description"] for row in msi_table(path, "LaunchCondition")}
    if not newer or "newer version of Kelvra" not in refused.get(f"NOT {newer[0]['ActionProperty']}", ""):
        problems.append("a downgrade is not refused with a message")
    actions = {row["Action"]: int(row["Sequence"]) for row in msi_table(path, "InstallExecuteSequence")}
    problems += [f"runs no {action}" for action in ("FindRelatedProducts", "RemoveExistingProducts")
                 if action not in actions]
    problems += check_upgrade(actions, msi_table(path, "Component"), msi_table(path, "File"), version)
    problems += [f"writes the registry value {row['Key']}\\{row['Name']}" for row in msi_table(path, "Registry")]

    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["msiextract", "-C", folder, path], check=True, capture_output=True)
        for name in MSI_FILES:
            installed = pathlib.Path(folder, "Program Files", "Kelvra", name)
            if installed.is_file() and name in members and installed.read_bytes() != archive.read(members[name]):
                problems.append(f"{name} differs from the ZIP's")
    return problems


def main():
    options = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    options.add_argument("--version", required=True)
    options.add_argument("zip")
    options.add_argument("msi")
    arguments = options.parse_args()
    archive = zipfile.ZipFile(arguments.zip)
    members = {name.split("/", 1)[1]: name for name in archive.namelist() if "/" in name}
    problems = [f"lacks {name}" for name in sorted(WANTED - members.keys())]
    problems += [f"{name} sits beside Kelvra.exe" for name in members
                 if "/" not in name and re.fullmatch(r"(?i)vt_hid.*\.dll", name)]
    for program in PROGRAMS:
        if program in members:
            problems += check_program(program, archive.read(members[program]), arguments.version)
    problems += [f"{pathlib.Path(arguments.msi).name}: {problem}"
                 for problem in check_msi(arguments.msi, arguments.version, archive, members)]
    for problem in problems:
        print(f"release: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"Release: {arguments.zip} and {arguments.msi} (programs stripped, with manifests and version "
          f"{arguments.version}; no driver library beside Kelvra.exe; the MSI per machine, same programs, "
          "shortcuts, major upgrade)")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the hostile input corpus of tests/fixtures/hostile/: archives, mail store files,
REGEDIT4 snapshots, parameter files, account names and installer scripts made to mislead the
parsers. The output is deterministic, so a rerun changes nothing unless this script changes.

    python3 tools/hostile/make_corpus.py [target folder]
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, "..", "..", "tests", "fixtures", "hostile")
DOS_TIME = (0x5A21 << 16) | 0x6000  # 1.1.2025 12:00


def write(out, relative, data):
    path = os.path.join(out, *relative.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# --- ZIP -----------------------------------------------------------------------------------

def deflate_raw(data, level=9):
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


class Entry:
    """One entry as it is to be written; the declared fields default to the truth."""

    def __init__(self, name, data, method=0, crc=None, size=None, csize=None, local_name=None,
                 zip64_size=None):
        self.name = name.encode("latin-1")
        self.local_name = self.name if local_name is None else local_name.encode("latin-1")
        self.stored = deflate_raw(data) if method == 8 else data
        self.method = method
        self.crc = zlib.crc32(data) & 0xFFFFFFFF if crc is None else crc
        self.size = len(data) if size is None else size
        self.csize = len(self.stored) if csize is None else csize
        self.zip64_size = zip64_size  # a declared uncompressed size beyond 32 bits
        self.offset = 0


def local_header(e):
    size, csize, extra = e.size, e.csize, b""
    if e.zip64_size is not None:
        size, csize = 0xFFFFFFFF, 0xFFFFFFFF
        extra = struct.pack("<HHQQ", 1, 16, e.zip64_size, e.csize)
    return struct.pack("<IHHHIIIIHH", 0x04034B50, 45 if extra else 20, 0, e.method, DOS_TIME,
                       e.crc, csize, size, len(e.local_name), len(extra)) + e.local_name + extra


def central_header(e):
    size, csize, extra = e.size, e.csize, b""
    if e.zip64_size is not None:
        size, csize = 0xFFFFFFFF, 0xFFFFFFFF
        extra = struct.pack("<HHQQ", 1, 16, e.zip64_size, e.csize)
    return struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 20, 45 if extra else 20, 0, e.method,
                       DOS_TIME, e.crc, csize, size, len(e.name), len(extra), 0, 0, 0, 0x20,
                       e.offset) + e.name + extra


def end_record(count, cd_size, cd_offset, comment=b""):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, cd_size, cd_offset,
                       len(comment)) + comment


def build_zip(entries, comment=b"", placed=None):
    """Writes the entries one after the other; `placed` adds central entries that point at
    offsets of the caller's choosing (entry, offset) without their own local data."""
    body = b""
    for e in entries:
        e.offset = len(body)
        body += local_header(e) + e.stored
    central = b""
    for e in entries:
        central += central_header(e)
    extra = 0
    for e, offset in placed or []:
        e.offset = offset
        central += central_header(e)
        extra += 1
    return body + central + end_record(len(entries) + extra, len(central), len(body), comment)


def mail_text(size, seed):
    words = [b"Hallo", b"Welt", b"Postfach", b"Sicherung", b"Nachricht", b"Betreff:", b"\r\n"]
    out, x = bytearray(), seed
    while len(out) < size:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out += words[x % len(words)] + b" "
    return bytes(out[:size])


def make_zips(out):
    write(out, "zip/pfade.zip", build_zip([
        Entry("..\\boese1.txt", b"1"),
        Entry("../boese2.txt", b"2"),
        Entry("\\boese3.txt", b"3"),
        Entry("/boese4.txt", b"4"),
        Entry("C:\\boese5.txt", b"5"),
        Entry("C:boese6.txt", b"6"),
        Entry("Ordner/..\\../boese7.txt", b"7"),
        Entry("Ordner\\../..\\Ordner/../../boese8.txt", b"8"),
        Entry("gut/Ordner\\gut1.txt", b"gut 1"),
        Entry("gut2.txt", b"gut 2"),
    ]))

    # An entry whose stored bytes hold a complete local header and data of a second entry that
    # the directory lists separately, and a third directory entry that shares the first's
    # local header under another name.
    inner = Entry("innen.txt", b"innere Daten")
    inner_bytes = local_header(inner) + inner.stored
    outer = Entry("aussen.txt", b"Vorspann" + inner_bytes + b"Nachspann")
    twin = Entry("zwilling.txt", b"Vorspann" + inner_bytes + b"Nachspann",
                 local_name="aussen.txt")
    write(out, "zip/ueberlappend.zip",
          build_zip([outer], placed=[(inner, 30 + len(outer.local_name) + len(b"Vorspann")),
                                     (twin, 0)]))

    # Sizes near 4 GB declared for a few bytes, and 1 TB through a Zip64 field; one archive
    # each, so that one refused directory does not hide the others.
    small = b"klein"
    for name, entry in (
            ("gespeichert", Entry("riesig.txt", small, size=0xFFFFFFF0)),
            ("gepackt", Entry("riesig.txt", small, method=8, size=0xFFFFFFF0)),
            ("komprimiert", Entry("riesig.txt", small, csize=0xFFFFFFF0)),
            ("zip64", Entry("riesig.txt", small, method=8, zip64_size=1 << 40))):
        write(out, "zip/riesig_%s.zip" % name, build_zip([entry]))

    # 20 MB of zeros in a few kilobytes of deflate, declared as 1000 bytes with the CRC of the
    # first 1000: a reader that trusts the stream writes 20 MB.
    zeros = bytes(20 * 1024 * 1024)
    write(out, "zip/bombe.zip", build_zip([
        Entry("bombe.txt", zeros, method=8, size=1000, crc=zlib.crc32(zeros[:1000])),
    ]))

    good = b"Diese Daten sind in Ordnung.\r\n"
    write(out, "zip/falsche_crc.zip", build_zip([
        Entry("falsch_gespeichert.txt", b"Hallo Welt\r\n", crc=0x12345678),
        Entry("falsch_gepackt.txt", mail_text(4000, 7), method=8, crc=0x0BADC0DE),
        Entry("richtig.txt", good),
    ]))

    whole = build_zip([
        Entry("Posteingang.dbx", mail_text(9000, 1), method=8),
        Entry("Ordner/Gesendet.dbx", mail_text(6000, 2), method=8),
        Entry("notiz.txt", b"ungepackt\r\n" * 40),
        Entry("Adressen.wab", bytes(range(256)) * 8, method=8),
    ], comment=b"[BackupInfo]\r\nArt=Voll\r\n")
    write(out, "zip/ganz.zip", whole)
    for i in range(16):
        write(out, "zip/abgeschnitten_%02d.zip" % i, whole[:len(whole) * i // 16])

    comment = (b"Kommentar " * 6554)[:65535]
    write(out, "zip/kommentar_65535.zip",
          build_zip([Entry("a.txt", b"mit langem Kommentar")], comment=comment))


# --- DBX -----------------------------------------------------------------------------------

HEADER_SIZE = 0x24BC
NODE_SIZE = 0x27C
CLASS_FOLDERS = 0x6F74FDC6
CLASS_MESSAGES = 0x6F74FDC5


class Dbx:
    def __init__(self, file_class):
        self.data = bytearray(HEADER_SIZE)
        self.put(0, 0xFE12ADCF)
        self.put(4, file_class)
        self.folders = file_class == CLASS_FOLDERS

    def put(self, at, value):
        if len(self.data) < at + 4:
            self.data += bytes(at + 4 - len(self.data))
        struct.pack_into("<I", self.data, at, value & 0xFFFFFFFF)

    def tree(self, count, root):
        self.put(0xCC if self.folders else 0xC4, count)
        self.put(0xEC if self.folders else 0xE4, root)

    def record(self, number, name):
        text = name.encode("latin-1") + b"\0"
        fields = [0x80 | (number << 8), 0x81 | (0 << 8), 0x02 | (0 << 8)] if self.folders else \
                 [0x80 | (number << 8), 0x08 | (0 << 8)]
        body = b"".join(struct.pack("<I", f) for f in fields) + text
        at = len(self.data)
        self.data += struct.pack("<IIHBB", at, len(body), 0, len(fields), 0) + body
        return at

    def node(self):
        at = len(self.data)
        self.data += bytes(NODE_SIZE)
        self.put(at, at)
        return at

    def set_node(self, at, first_child, entries, count=None):
        self.put(at + 8, first_child)
        self.data[at + 0x11] = len(entries) if count is None else count
        for k, (record, child) in enumerate(entries):
            if 0x18 + 12 * k + 8 <= NODE_SIZE:
                self.put(at + 0x18 + 12 * k, record)
                self.put(at + 0x1C + 12 * k, child)


def make_dbx(out):
    for file_class, prefix in ((CLASS_FOLDERS, "ordner"), (CLASS_MESSAGES, "nachrichten")):
        # A node that is its own first child and its own entry's child.
        d = Dbx(file_class)
        n = d.node()
        d.set_node(n, n, [(d.record(1, "Selbst"), n)])
        d.tree(1, n)
        write(out, "dbx/%s_zyklus_selbst.dbx" % prefix, bytes(d.data))

        # Root -> child -> grandchild whose entries point back at the root and the child.
        d = Dbx(file_class)
        root, child, grand = d.node(), d.node(), d.node()
        d.set_node(root, child, [(d.record(1, "Wurzel"), grand)])
        d.set_node(child, 0, [(d.record(2, "Kind"), grand)])
        d.set_node(grand, root, [(d.record(3, "Enkel"), child), (d.record(4, "Enkel 2"), root)])
        d.tree(4, root)
        write(out, "dbx/%s_zyklus_vorfahr.dbx" % prefix, bytes(d.data))

        # Offsets just beyond the end of the file: the root itself, a record, a child.
        d = Dbx(file_class)
        d.tree(1, HEADER_SIZE + 0x1000)
        write(out, "dbx/%s_wurzel_jenseits.dbx" % prefix, bytes(d.data))
        d = Dbx(file_class)
        n = d.node()
        end = len(d.data) + 2 * NODE_SIZE  # counted after the record below
        d.set_node(n, end + 0x100, [(end + 0x40, end + 0x200), (d.record(1, "Echt"), end)])
        d.tree(2, n)
        write(out, "dbx/%s_eintraege_jenseits.dbx" % prefix, bytes(d.data))

        # A node that claims 255 entries (51 fit) and a header that believes it.
        d = Dbx(file_class)
        n = d.node()
        records = [d.record(i + 1, "Ordner %d" % (i + 1)) for i in range(60)]
        d.set_node(n, 0, [(r, 0) for r in records], count=255)
        d.tree(255, n)
        write(out, "dbx/%s_zu_viele.dbx" % prefix, bytes(d.data))
        # The same node under a header that admits only three entries.
        d.tree(3, n)
        write(out, "dbx/%s_zu_viele_kopf_3.dbx" % prefix, bytes(d.data))

        # Offsets above 2 GB: as the root, and as record and child of a real node.
        d = Dbx(file_class)
        d.tree(1, 0x80000000)
        write(out, "dbx/%s_wurzel_ueber_2gb.dbx" % prefix, bytes(d.data))
        d = Dbx(file_class)
        n = d.node()
        d.set_node(n, 0xFFFFFFF0, [(0x80000010, 0x80000000), (d.record(1, "Echt"), 0xFFFFFD84)])
        d.tree(2, n)
        write(out, "dbx/%s_eintraege_ueber_2gb.dbx" % prefix, bytes(d.data))


# --- REGEDIT4 ------------------------------------------------------------------------------

IDENTITY = "HKEY_CURRENT_USER\\Identities\\{11111111-2222-3333-4444-555555555555}"
OE = IDENTITY + "\\Software\\Microsoft\\Outlook Express\\5.0"


def reg(lines):
    return ("\r\n".join(["REGEDIT4", ""] + lines + [""])).encode("latin-1")


def make_reg(out):
    write(out, "reg/fremde_wurzeln.reg", reg([
        "[" + OE + "\\Rules\\Mail\\000]",
        "\"Name\"=\"Regel\"",
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]",
        "\"Boese\"=\"C:\\\\boese.exe\"",
        "[HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command]",
        "@=\"boese.exe\"",
        "[HKEY_USERS\\.DEFAULT\\Software\\Boese]",
        "\"a\"=dword:00000001",
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]",
        "\"Boese\"=\"boese.exe\"",
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail Boese\\x]",
        "\"a\"=\"praefix ohne Trenner\"",
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Live Mail Boese\\x]",
        "\"a\"=\"praefix ohne Trenner\"",
        "[HKEY_LOCAL_MACHINE\\Identities\\{1}\\Software\\Microsoft\\Outlook Express\\5.0\\Rules]",
        "\"b\"=\"fremde Wurzel mit Identitaet\"",
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express\\5.0\\..\\..\\Windows\\CurrentVersion\\Run]",
        "\"Boese\"=\"boese.exe\"",
        "[" + OE + "\\..\\..\\..\\Windows\\CurrentVersion\\Run]",
        "\"Boese\"=\"boese.exe\"",
        "[" + OE + "\\.\\Rules]",
        "\"Boese\"=\"punkt\"",
        "[" + OE + "\\Signatures\\00000000]",
        "\"text\"=\"Gruss\"",
    ]))

    megabyte = "x" * (1024 * 1024)
    write(out, "reg/lange_zeile.reg", reg([
        "[" + OE + "\\Signatures\\00000001]",
        "\"text\"=\"" + megabyte + "\"",
        "\"ende\"=\"nach der langen Zeile\"",
    ]))

    write(out, "reg/nul_bytes.reg", reg([
        "[" + OE + "\\Rules\\Mail\\001]",
        "\"Na\0me\"=\"We\0rt\"",
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail\0\\..\\Boese]",
        "\"a\"=\"nach NUL im Schluessel\"",
        "[" + OE + "\0\\..\\..\\Boese]",
        "\"a\"=\"nach NUL im Schluessel\"",
        "[HKEY_LOCAL_MACHINE\0" + OE[len("HKEY_CURRENT_USER"):] + "\\Rules]",
        "\"b\"=\"NUL nach der Wurzel\"",
        "\0[HKEY_LOCAL_MACHINE\\Software\\Boese]",
        "\"c\"=dword:0000\x0000001",
        "[" + OE + "\\Rules\\Mail\\002]",
        "\"d\"=hex:41,00,42",
    ]))


# --- parameter files -----------------------------------------------------------------------

BVT_HEAD = ("[Identity]\r\nName=Feind\r\nMailPath=%BVTESTROOT%\\Store\r\nGID=\\{AB}\\\r\n"
            "[Setup]\r\nTempPath=%BVTESTROOT%\\Temp\r\nSavePath=%BVTESTROOT%\\Sicherung\r\n")


def make_bvt(out):
    for name, password in (("passwort_kein_base64.bvt", "!!!kein@Base64###"),
                           ("passwort_falsche_laenge.bvt", "QUJD="),
                           ("passwort_steuerzeichen.bvt", "QU\x01JD")):
        write(out, "bvt/" + name, (BVT_HEAD + "Passwort=" + password + "\r\n"
                                   "[Folders]\r\nF1=gut.dbx\r\n[FoldersRealName]\r\nF1=Gut\r\n"
                                   "[OESetup]\r\nOE0=1\r\n").encode("latin-1"))
    write(out, "bvt/ohne_abschnitte.bvt", b"Name=Feind\r\nPasswort=QUJD\r\nF1=gut.dbx\r\n")
    write(out, "bvt/nur_identitaet.bvt",
          b"[Identity]\r\nName=Feind\r\nMailPath=%BVTESTROOT%\\Store\r\n")
    write(out, "bvt/leer.bvt", b"")
    write(out, "bvt/pfade.bvt", (BVT_HEAD + "Passwort=\r\n[Folders]\r\n"
                                 "F1=..\\boese.dbx\r\nF2=../boese.dbx\r\nF3=C:\\boese.dbx\r\n"
                                 "F4=\\boese.dbx\r\nF5=/boese.dbx\r\nF6=%BVTESTROOT%\\boese.dbx\r\n"
                                 "F7=Unter\\boese.dbx\r\nF8=C:boese.dbx\r\nF9=..\r\nF10=gut.dbx\r\n"
                                 "[FoldersRealName]\r\nF1=Boese 1\r\nF10=Gut\r\n").encode("latin-1"))


# --- account names, installer script -------------------------------------------------------

ACCOUNT_NAMES = [
    "..\\..\\x", "../../x", "a/b", "a\\b", "CON", "con.txt", "NUL", "COM1", "LPT9.log", "AUX ",
    "x:y", "C:\\x", "\\\\server\\share", "...", ".", "..", ". .", "Konto.", "a*b?c\"d<e>f|g",
    "Tab\tName", "  ", "Post \xfc\xe4\xf6 Konto",
]


def make_accounts(out):
    write(out, "konten/kontonamen.txt", ("\n".join(ACCOUNT_NAMES) + "\n").encode("latin-1"))


def make_setup(out):
    # Every entry that names "boese" points outside the setup or the install folder.
    write(out, "setup/Setup.in", (
        "[InstallInfo]\r\nApplicationName=Feind\r\nUninstallName=Feind 1\r\n"
        "DefaultUnistallFileName=FeindUn.exe\r\n"
        "[ProgFiles]\r\n"
        "F1=..\\boese1.txt\r\nF2=C:\\boese2.txt\r\nF3=\\boese3.txt\r\nF4=/boese4.txt\r\n"
        "F5=..\\..\\Windows\\boese5.txt\r\nF6=C:boese6.txt\r\nF7=Ordner/..\\../boese7.txt\r\n"
        "F8=r1.txt;..\\boese_r1.txt\r\nF9=r2.txt;C:\\boese_r2.txt\r\nF10=r3.txt;\\boese_r3.txt\r\n"
        "F11=r4.txt;/boese_r4.txt\r\nF12=x1.exe;..\\boese_tools EXEC\r\n"
        "F13=x2.exe;C:\\boese_tools EXEC\r\nF14=..\\boese8.txt;sub\\r5.txt\r\n"
        "F20=gut.txt\r\nF21=gut.dic;daten\\gut.dic\r\nF22=gut.exe;tools EXEC\r\n"
        "F23=gut2.txt;Ordner/gut2.txt\r\n"
        "[AdditionalFiles]\r\nA1=..\\boese9.txt\r\nA2=C:\\boese10.txt\r\nA3=\\boese11.txt\r\n"
        "A4=/boese12.txt\r\nA5=gut_extra.txt\r\n"
    ).encode("latin-1"))


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT)
    make_zips(out)
    make_dbx(out)
    make_reg(out)
    make_bvt(out)
    make_accounts(out)
    make_setup(out)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Checks that a file is a 64-bit Windows plug-in module as hosts load it:
a PE32+ DLL for x86-64 exporting PluginMain, with a PiPL resource 16000
whose bytes are those the build generated.

    pe_plugin.py PLUGIN.8bf [EXPECTED_PIPL.bin]

Prints what it found; exit 0 when every check holds, 1 otherwise."""
import struct
import sys


def fail(message):
    print("pe_plugin: " + message)
    sys.exit(1)


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


class Image:
    def __init__(self, data):
        if data[:2] != b"MZ":
            fail("no MZ header")
        pe = u32(data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            fail("no PE signature")
        self.data = data
        coff = pe + 4
        self.machine = u16(data, coff)
        sections = u16(data, coff + 2)
        optional_size = u16(data, coff + 16)
        self.characteristics = u16(data, coff + 18)
        opt = coff + 20
        self.magic = u16(data, opt)
        if self.magic != 0x20B:
            fail("optional header magic 0x%x, not PE32+ (0x20b)" % self.magic)
        self.directories = opt + 112  # after the PE32+ standard and Windows fields
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            s = table + 40 * i
            name = data[s:s + 8].rstrip(b"\0").decode("latin-1")
            vsize, vaddr, rsize, raddr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((name, vaddr, max(vsize, rsize), raddr, rsize))

    def directory(self, index):
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)

    def offset(self, rva):
        for _, vaddr, size, raddr, rsize in self.sections:
            if vaddr <= rva < vaddr + size:
                if rva - vaddr >= rsize:
                    fail("address 0x%x lies beyond the stored bytes of its section" % rva)
                return raddr + rva - vaddr
        fail("address 0x%x lies in no section" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def exports(self):
        rva, size = self.directory(0)
        if size == 0:
            return []
        at = self.offset(rva)
        count = u32(self.data, at + 24)
        names = self.offset(u32(self.data, at + 32))
        return [self.cstring(u32(self.data, names + 4 * i)) for i in range(count)]

    def resources(self):
        """(type, name, bytes) for every resource; names and types are
        numbers or upper-cased strings."""
        rva, size = self.directory(2)
        if size == 0:
            return []
        base = self.offset(rva)
        found = []

        def entry_name(value):
            if value & 0x80000000:
                at = base + (value & 0x7FFFFFFF)
                length = u16(self.data, at)
                return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le").upper()
            return value

        def walk(at, path):
            named, numbered = u16(self.data, at + 12), u16(self.data, at + 14)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                key = path + [entry_name(name)]
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), key)
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(data_rva)
                    found.append((key[0], key[1], self.data[start:start + data_size]))

        walk(base, [])
        return found


def main():
    if len(sys.argv) not in (2, 3):
        fail("usage: pe_plugin.py PLUGIN.8bf [EXPECTED_PIPL.bin]")
    with open(sys.argv[1], "rb") as f:
        image = Image(f.read())
    if image.machine != 0x8664:
        fail("machine 0x%x, not x86-64 (0x8664)" % image.machine)
    if not image.characteristics & 0x2000:
        fail("not a DLL")
    exports = image.exports()
    if "PluginMain" not in exports:
        fail("PluginMain is not exported (exports: %s)" % ", ".join(exports))
    pipl = [data for kind, name, data in image.resources() if kind == "PIPL" and name == 16000]
    if len(pipl) != 1:
        fail("%d PiPL resources numbered 16000, not one" % len(pipl))
    if len(sys.argv) == 3:
        with open(sys.argv[2], "rb") as f:
            expected = f.read()
        if pipl[0] != expected:
            fail("the PiPL (%d bytes) differs from %s (%d bytes)" % (len(pipl[0]), sys.argv[2], len(expected)))
    print("pe_plugin: PE32+ x86-64 DLL, exports %s, PiPL 16000 of %d bytes" % (", ".join(exports), len(pipl[0])))


if __name__ == "__main__":
    main()

"""A second, independent implementation of the account file format, written from
docs/account-file.md alone (pure Python, slow, obvious). The tests use it to check that
files written by khcli follow the document and that files written from the document open
in khcli."""

import hashlib
import os
import re
import struct
import zlib

# DES tables (FIPS 46-3), 1-based bit positions, most significant bit first.
IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
      62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
      57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
      61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7]
FP = [IP.index(i) + 1 for i in range(1, 65)]
E = [32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9, 8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
     16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1]
P = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
     2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25]
PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18, 10, 2, 59, 51, 43, 35, 27, 19, 11, 3,
       60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22, 14, 6, 61, 53, 45, 37,
       29, 21, 13, 5, 28, 20, 12, 4]
PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10, 23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
       41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32]
SHIFTS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1]
SBOX = [
    [14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7, 0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8,
     4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0, 15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13],
    [15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10, 3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15, 13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9],
    [10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8, 13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1,
     13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7, 1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12],
    [7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15, 13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9,
     10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4, 3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14],
    [2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9, 14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6,
     4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14, 11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3],
    [12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11, 10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8,
     9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6, 4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13],
    [4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1, 13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6,
     1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2, 6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12],
    [13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2,
     7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8, 2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11],
]


def _permute(value, bits, table):
    out = 0
    for position in table:
        out = (out << 1) | ((value >> (bits - position)) & 1)
    return out


class Des:
    """Single DES on 8-byte blocks."""

    def __init__(self, key8):
        cd = _permute(int.from_bytes(key8, "big"), 64, PC1)
        c, d = cd >> 28, cd & 0xFFFFFFF
        self.subkeys = []
        for shift in SHIFTS:
            c = ((c << shift) | (c >> (28 - shift))) & 0xFFFFFFF
            d = ((d << shift) | (d >> (28 - shift))) & 0xFFFFFFF
            self.subkeys.append(_permute((c << 28) | d, 56, PC2))

    def crypt(self, block8, decrypt):
        value = _permute(int.from_bytes(block8, "big"), 64, IP)
        left, right = value >> 32, value & 0xFFFFFFFF
        keys = reversed(self.subkeys) if decrypt else self.subkeys
        for k in keys:
            x = _permute(right, 32, E) ^ k
            s = 0
            for box in range(8):
                six = (x >> (42 - 6 * box)) & 0x3F
                s = (s << 4) | SBOX[box][(((six >> 4) & 2) | (six & 1)) * 16 + ((six >> 1) & 15)]
            left, right = right, left ^ _permute(s, 32, P)
        return _permute((right << 32) | left, 64, FP).to_bytes(8, "big")


def unit_transform(key16, mode, unit):
    """The 16-byte transform T(key, mode, unit) of the document."""
    k1, k2 = Des(key16[:8]), Des(key16[8:])
    decrypt = mode == 1
    stages = [(k1, decrypt), (k2, not decrypt), (k1, decrypt)]
    state = bytearray(unit)
    for number, (des, dec) in enumerate(stages):
        state[0:8] = des.crypt(bytes(state[0:8]), dec)
        state[8:16] = des.crypt(bytes(state[8:16]), dec)
        if number < 2:
            state[4:8], state[8:12] = state[8:12], state[4:8]
    return bytes(state)


def transform(key16, mode, data):
    assert len(data) % 16 == 0
    return b"".join(unit_transform(key16, mode, data[i:i + 16]) for i in range(0, len(data), 16))


def invert(data):
    return bytes(b ^ 0xFF for b in data)


def md5(data):
    return hashlib.md5(data).digest()


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def derivation_constant(doc_path):
    with open(doc_path, encoding="utf-8") as doc:
        found = re.findall(r"^Derivation constant: (\S{9})$", doc.read(), re.M)
    assert len(found) == 1, "the document must state the constant exactly once"
    return found[0].encode("ascii")


KEY_TEXT = b"ZQQKEYHAVENJJJJ"


class Format:
    def __init__(self, doc_path):
        self.constant = derivation_constant(doc_path)

    def derive_key(self, name, secret):
        assert name and secret
        second = name[1] if len(name) > 1 else 0
        block = self.constant + b"\x01" + bytes([name[0], second] * 3)
        d = unit_transform(md5(name), 0, invert(md5(block)))
        return unit_transform(d, 0, invert(md5(secret)))

    def keys(self, name, password):
        password_key = self.derive_key(name, password)
        return {
            "constant": md5(KEY_TEXT),
            "account": self.derive_key(name, KEY_TEXT),
            "password": password_key,
            "second": md5(password_key),
        }


def _text(value, field_size):
    return value[:field_size - 1].ljust(field_size, b"\0")


def _plain(field):
    return field.split(b"\0", 1)[0]


def write_account(fmt, name, password, account_description, password_description, entries):
    """entries: list of (type, title, whats_this, data, description) as bytes (type int)."""
    name, password = name[:159], password[:79]
    keys = fmt.keys(name, password)
    records = []
    for etype, title, whats, data, description in entries:
        rec = bytearray(480)
        rec[0:4] = struct.pack("<i", etype)
        rec[4:84] = _text(title, 80)
        rec[84:164] = _text(whats, 80)
        rec[164:244] = _text(data, 80)
        rec[244:436] = _text(description, 192)
        rec[452:456] = struct.pack("<I", crc32(bytes(rec[:436])))
        rec[164:244] = transform(keys["account"], 0, bytes(rec[164:244]))
        records.append(transform(keys["password"], 0, bytes(rec)))
    n = len(records)

    header_record = bytearray(480)
    header_record[4:164] = _text(name, 160)
    header_record[164:244] = _text(password, 80)
    header_record[244:436] = _text(password_description, 192)
    crc = crc32(bytes(header_record[:436]))
    header_record[452:456] = struct.pack("<I", crc)

    h = bytearray(1340)
    h[0:4] = b"KHVF"
    h[4] = 1
    h[8:12] = struct.pack("<i", 1340 + 480 * n)
    h[12:172] = transform(keys["account"], 0, invert(_text(name, 160)))
    h[172:364] = invert(transform(keys["constant"], 1, _text(account_description, 192)))
    inner = transform(keys["password"], 0, bytes(header_record))
    h[364:844] = transform(keys["second"], 0, inner)
    h[844:1036] = transform(keys["account"], 0, _text(password_description, 192))
    h[1036:1040] = struct.pack("<i", n)
    h[1040:1044] = struct.pack("<i", 480 * n)
    h[1320:1324] = struct.pack("<I", crc)
    return bytes(h) + b"".join(records)


class Unreadable(Exception):
    pass


def read_account(fmt, data, name, password):
    name, password = name[:159], password[:79]
    if len(data) < 1340:
        raise Unreadable("short header")
    h = data[:1340]
    size, n, nbytes = struct.unpack("<i", h[8:12])[0], struct.unpack("<i", h[1036:1040])[0], \
        struct.unpack("<i", h[1040:1044])[0]
    if h[0:4] != b"KHVF" or h[4] != 1 or size - nbytes != 1340 or n * 480 != nbytes or n < 0:
        raise Unreadable("header fields")
    keys = fmt.keys(name, password)
    account_description = _plain(transform(keys["constant"], 0, invert(h[172:364]))[:191])
    stored_name = _plain(invert(transform(keys["account"], 1, h[12:172]))[:159])
    if stored_name != name:
        raise Unreadable("name")
    password_description = _plain(transform(keys["account"], 1, h[844:1036])[:191])
    record = bytearray(transform(keys["password"], 1, transform(keys["second"], 1, h[364:844])))
    record[163] = record[243] = record[435] = 0
    header_crc = struct.unpack("<I", h[1320:1324])[0]
    if header_crc != struct.unpack("<I", record[452:456])[0] or _plain(record[4:164]) != stored_name \
            or _plain(record[164:244]) != password or crc32(bytes(record[:436])) != header_crc:
        raise Unreadable("header record")
    entries, dropped, offset = [], 0, 1340
    while offset + 480 <= len(data):
        rec = bytearray(transform(keys["password"], 1, data[offset:offset + 480]))
        rec[164:244] = transform(keys["account"], 1, bytes(rec[164:244]))
        rec[83] = rec[163] = rec[243] = rec[435] = 0
        if crc32(bytes(rec[:436])) == struct.unpack("<I", rec[452:456])[0]:
            entries.append({
                "type": struct.unpack("<i", rec[0:4])[0], "title": _plain(rec[4:84]),
                "whatsThis": _plain(rec[84:164]), "data": _plain(rec[164:244]),
                "description": _plain(rec[244:436]), "fileOffset": offset})
        else:
            dropped += 1
        offset += 480
    return {"name": stored_name, "password": _plain(record[164:244]),
            "accountDescription": account_description,
            "passwordDescription": password_description,
            "droppedRecords": dropped, "entries": entries}


# The strong format ("The strong format" in the document).
STRONG_MAGIC = b"KHK2\r\n\x1a\n"


def strong_key(name, password, salt, t, m, p):
    from argon2.low_level import Type, hash_secret_raw
    return hash_secret_raw(name[:159] + b"\0" + password[:79], salt, time_cost=t, memory_cost=m,
                           parallelism=p, hash_len=64, type=Type.ID, version=0x13)


def write_strong(name, password, account_description, password_description, entries,
                 t=3, m=65536, p=2, salt=None, nonce=None):
    """entries as for write_account; salt and nonce drawn at random unless given."""
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    salt = os.urandom(32) if salt is None else salt
    nonce = os.urandom(12) if nonce is None else nonce
    a, h = account_description[:191], password_description[:191]
    key = strong_key(name, password, salt, t, m, p)
    header = (STRONG_MAGIC + struct.pack("<IIIIII", 104 + len(a) + len(h), 1, 1, t, m, p) + salt
              + struct.pack("<I", 1) + nonce + hashlib.sha256(key[32:]).digest()[:16]
              + struct.pack("<I", len(a)) + a + struct.pack("<I", len(h)) + h)
    payload = struct.pack("<I", len(entries))
    for etype, title, whats, data, description in entries:
        payload += struct.pack("<i", etype)
        for text, limit in ((title, 79), (whats, 79), (data, 79), (description, 191)):
            text = text.split(b"\0", 1)[0][:limit]
            payload += struct.pack("<I", len(text)) + text
    return header + AESGCM(key[:32]).encrypt(nonce, payload, header)


class WrongCredentials(Exception):
    pass


def read_strong(data, name, password):
    from cryptography.exceptions import InvalidTag
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    if len(data) < 104 or data[:8] != STRONG_MAGIC:
        raise Unreadable("magic")
    H, version, kdf, t, m, p = struct.unpack("<IIIIII", data[8:32])
    salt, cipher, nonce, check = data[32:64], struct.unpack("<I", data[64:68])[0], data[68:80], data[80:96]
    if version != 1 or kdf != 1 or cipher != 1 or not (1 <= t <= 64) or not (8192 <= m <= 1048576) \
            or not (1 <= p <= 16):
        raise Unreadable("header fields")
    a = struct.unpack("<I", data[96:100])[0]
    if a > 191 or len(data) < 104 + a:
        raise Unreadable("account description length")
    h = struct.unpack("<I", data[100 + a:104 + a])[0]
    if h > 191 or H != 104 + a + h or len(data) < H + 4 + 16:
        raise Unreadable("header length")
    account_description, password_description = data[100:100 + a], data[104 + a:104 + a + h]
    if b"\0" in account_description or b"\0" in password_description:
        raise Unreadable("NUL in a description")
    key = strong_key(name, password, salt, t, m, p)
    if hashlib.sha256(key[32:]).digest()[:16] != check:
        raise WrongCredentials()
    try:
        payload = AESGCM(key[:32]).decrypt(nonce, data[H:], data[:H])
    except InvalidTag:
        raise Unreadable("tag")
    n, pos, entries = struct.unpack("<I", payload[:4])[0], 4, []
    for _ in range(n):
        if pos + 4 > len(payload):
            raise Unreadable("entry cut")
        start = pos
        etype = struct.unpack("<i", payload[pos:pos + 4])[0]
        pos += 4
        fields = []
        for limit in (79, 79, 79, 191):
            if pos + 4 > len(payload):
                raise Unreadable("length cut")
            length = struct.unpack("<I", payload[pos:pos + 4])[0]
            pos += 4
            text = payload[pos:pos + length]
            if length > limit or len(text) != length or b"\0" in text:
                raise Unreadable("text")
            fields.append(text)
            pos += length
        entries.append({"type": etype, "title": fields[0], "whatsThis": fields[1], "data": fields[2],
                        "description": fields[3], "fileOffset": H + start})
    if pos != len(payload):
        raise Unreadable("bytes left over")
    return {"name": name[:159], "password": password[:79], "accountDescription": account_description,
            "passwordDescription": password_description, "parameters": (t, m, p), "salt": salt,
            "nonce": nonce, "entries": entries}

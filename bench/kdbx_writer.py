"""A minimal KDBX 4.0 writer for the strong-open comparison: Argon2id with chosen
parameters, AES-256-CBC, no compression, one group of plain entries.

It follows the published description of the format (header fields, the variant
dictionary of the key derivation's parameters, the HMAC-SHA-256 block stream, the inner
header) and writes only what the comparison needs. keepassxc-cli opens what it writes.
"""

import base64
import hashlib
import hmac
import os
import struct
import uuid
from xml.sax.saxutils import escape

import argon2.low_level as argon2
from cryptography.hazmat.primitives import padding
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

AES256_CIPHER = bytes.fromhex("31c1f2e6bf714350be5805216afc5aff")
ARGON2ID_KDF = bytes.fromhex("9e298b1956db4773b23dfc3ec6f0a1e6")
BLOCK_SIZE = 1 << 20


def _field(kind, data):
    return struct.pack("<BI", kind, len(data)) + data


def _variant_dictionary(items):
    out = struct.pack("<H", 0x0100)
    for kind, key, value in items:
        name = key.encode()
        out += struct.pack("<Bi", kind, len(name)) + name + struct.pack("<i", len(value)) + value
    return out + b"\x00"


def _block_key(base, index):
    return hashlib.sha512(struct.pack("<Q", index) + base).digest()


def _xml(entries):
    def uid():
        return base64.b64encode(uuid.uuid4().bytes).decode()

    parts = [
        '<?xml version="1.0" encoding="utf-8" standalone="yes"?>',
        "<KeePassFile><Meta><Generator>bench</Generator><DatabaseName>bench</DatabaseName>"
        "</Meta><Root><Group><UUID>%s</UUID><Name>Root</Name>" % uid(),
    ]
    for title, user, password, notes in entries:
        parts.append("<Entry><UUID>%s</UUID>" % uid())
        for key, value in (("Title", title), ("UserName", user), ("Password", password),
                           ("Notes", notes), ("URL", "")):
            parts.append("<String><Key>%s</Key><Value>%s</Value></String>" % (key, escape(value)))
        parts.append("</Entry>")
    parts.append("</Group></Root></KeePassFile>")
    return "".join(parts).encode("utf-8")


def write_kdbx(path, password, entries, iterations, memory_kib, lanes):
    master_seed = os.urandom(32)
    iv = os.urandom(16)
    salt = os.urandom(32)
    kdf = _variant_dictionary([
        (0x42, "$UUID", ARGON2ID_KDF),
        (0x42, "S", salt),
        (0x04, "P", struct.pack("<I", lanes)),
        (0x05, "M", struct.pack("<Q", memory_kib * 1024)),
        (0x05, "I", struct.pack("<Q", iterations)),
        (0x04, "V", struct.pack("<I", 0x13)),
    ])
    header = struct.pack("<IIHH", 0x9AA2D903, 0xB54BFB67, 0, 4)
    header += _field(2, AES256_CIPHER)
    header += _field(3, struct.pack("<I", 0))  # no compression
    header += _field(4, master_seed)
    header += _field(7, iv)
    header += _field(11, kdf)
    header += _field(0, b"\r\n\r\n")

    composite = hashlib.sha256(hashlib.sha256(password.encode()).digest()).digest()
    transformed = argon2.hash_secret_raw(composite, salt, time_cost=iterations,
                                         memory_cost=memory_kib, parallelism=lanes,
                                         hash_len=32, type=argon2.Type.ID, version=0x13)
    cipher_key = hashlib.sha256(master_seed + transformed).digest()
    hmac_base = hashlib.sha512(master_seed + transformed + b"\x01").digest()

    # Inner header: a ChaCha20 stream for protected values (none are protected here).
    inner = _field(1, struct.pack("<I", 3)) + _field(2, os.urandom(64)) + _field(0, b"")
    padder = padding.PKCS7(128).padder()
    plain = padder.update(inner + _xml(entries)) + padder.finalize()
    encryptor = Cipher(algorithms.AES(cipher_key), modes.CBC(iv)).encryptor()
    payload = encryptor.update(plain) + encryptor.finalize()

    out = bytearray(header)
    out += hashlib.sha256(header).digest()
    out += hmac.new(_block_key(hmac_base, 0xFFFFFFFFFFFFFFFF), header, hashlib.sha256).digest()
    blocks = [payload[i:i + BLOCK_SIZE] for i in range(0, len(payload), BLOCK_SIZE)] + [b""]
    for index, block in enumerate(blocks):
        size = struct.pack("<i", len(block))
        tag = hmac.new(_block_key(hmac_base, index), struct.pack("<Q", index) + size + block,
                       hashlib.sha256).digest()
        out += tag + size + block
    with open(path, "wb") as f:
        f.write(out)

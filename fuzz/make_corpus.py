#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Seed corpora for the fuzz targets: small valid inputs, written to CORPUS/<target>/."""
import hashlib
import os
import sqlite3
import struct
import subprocess
import sys
import tempfile

# Both must match fuzz_support.h, or the enciphered seeds fail the password check.
PADDED_PASSWORD = b"fuzzyyyyyyyyyyyyy"

HEADER_SIZE = 20
SLOT_COUNT = 300
SLOT_SIZE = 448
# (offset, size) of title, account, password, remark within a slot
SLOT_FIELDS = ((0, 64), (64, 64), (128, 64), (192, 256))

RECORDS = [
    ("邮箱", "zhang.san@example.com", "p@ss-123", "工作用"),
    ("银行卡", "6222 0000 1111", "886611", ""),
    ("", "", "", ""),
    ("论坛 BBS", "小明", "密码在这里", "备注：很长的备注" * 4),
]
CATEGORIES = ["我的密码", "工作", "生活", "工作"]


def gbk(text):
    return text.encode("gbk")


def legacy_header(last_index):
    return struct.pack("<i", last_index) + hashlib.md5(PADDED_PASSWORD).digest()


def old_file(records):
    body = bytearray(SLOT_COUNT * SLOT_SIZE)
    for i, record in enumerate(records):
        fields = (record[0], record[1], record[2], record[3])
        for (offset, size), value in zip(SLOT_FIELDS, fields):
            raw = gbk(value)[: size - 1]
            start = i * SLOT_SIZE + offset
            body[start : start + len(raw)] = raw
    return legacy_header(len(records) - 1) + bytes(body)


def new_file(records):
    stream = bytearray()
    for title, account, password, remark in records:
        # The stream keeps the remark second; each NUL is followed by one unread byte.
        for value in (title, remark, account, password):
            stream += gbk(value) + b"\0" + b"\xcc"
    stream += b"\0" * (-len(stream) % 16)
    return legacy_header(len(records) - 1) + bytes(stream)


def vault_db(path, records, categories, with_tables=True):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.text_factory = bytes
    # Small pages keep the seeds, and so the fuzzers' inputs, short.
    db.execute("PRAGMA page_size=512")
    if with_tables:
        db.execute("CREATE TABLE userad(pass TEXT)")
        db.execute("CREATE TABLE type(leibie TEXT)")
        db.execute("CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT)")
        db.execute("INSERT INTO userad(pass) VALUES (?)", (PADDED_PASSWORD.decode(),))
        for name in categories:
            db.execute("INSERT INTO type(leibie) VALUES (?)", (gbk(name),))
        for i, (title, account, password, remark) in enumerate(records):
            category = gbk(categories[i % len(categories)]) if categories else b""
            db.execute(
                "INSERT INTO userpass VALUES (?,?,?,?,?)",
                (gbk(title), gbk(account), gbk(password), gbk(remark), category),
            )
        db.execute("INSERT INTO userpass(bt) VALUES (?)", (gbk("只有标题"),))
    else:
        db.execute("CREATE TABLE other(x)")
    db.commit()
    db.close()
    with open(path, "rb") as f:
        return f.read()


VAULT_TABLES = (
    "CREATE TABLE userad(pass TEXT);"
    "CREATE TABLE type(leibie TEXT);"
    "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
)
ONE_RECORD = "INSERT INTO type VALUES('c');INSERT INTO userpass VALUES('t','n','p','b','c');"

# Sources built to make a reader compute, convert or invent what the file does not hold: each
# must be refused (or read within the limits) without running what its schema defines.
HOSTILE_SOURCES = {
    # A 12 KB file that asked for 200 MB per row.
    "generated_virtual": (
        "CREATE TABLE type(leibie TEXT);"
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,"
        "bz TEXT GENERATED ALWAYS AS (hex(zeroblob(100000000))) VIRTUAL,type TEXT);"
        "INSERT INTO userpass(bt) VALUES('t');"
    ),
    "generated_stored": (
        "CREATE TABLE type(leibie TEXT);"
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT,"
        "g TEXT GENERATED ALWAYS AS (bt || name) STORED);" + ONE_RECORD
    ),
    "view_userpass": (
        "CREATE TABLE type(leibie TEXT);CREATE TABLE real(bt,name,pass,bz,type);"
        "CREATE VIEW userpass AS SELECT bt,name,pass,bz,hex(zeroblob(100000000)) AS type "
        "FROM real;INSERT INTO real VALUES('t','n','p','b','c');"
    ),
    "view_type": (
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
        "CREATE TABLE t(leibie);CREATE VIEW type AS SELECT leibie FROM t;"
    ),
    "virtual_fts5": (
        "CREATE TABLE type(leibie TEXT);"
        "CREATE VIRTUAL TABLE userpass USING fts5(bt,name,pass,bz,type);"
        "INSERT INTO userpass VALUES('t','n','p','b','c');"
    ),
    "virtual_unknown_module": (
        "CREATE TABLE type(leibie TEXT);PRAGMA writable_schema=ON;"
        "INSERT INTO sqlite_master VALUES('table','userpass','userpass',0,"
        "'CREATE VIRTUAL TABLE userpass USING nosuchmodule(bt,name,pass,bz,type)');"
    ),
    "triggers": (
        VAULT_TABLES + ONE_RECORD +
        "CREATE TRIGGER grow AFTER INSERT ON userpass BEGIN "
        "INSERT INTO userpass SELECT * FROM userpass; END;"
        "CREATE TRIGGER wipe BEFORE DELETE ON type BEGIN DELETE FROM userpass; END;"
    ),
    "covering_index": (
        VAULT_TABLES + ONE_RECORD + "CREATE INDEX every ON userpass(bt,name,pass,bz,type);"
    ),
    "large_default": (
        "CREATE TABLE type(leibie TEXT);CREATE TABLE userpass(bt,name,pass,bz);"
        "INSERT INTO userpass VALUES('t','n','p','b');"
        "ALTER TABLE userpass ADD COLUMN type TEXT DEFAULT '" + "d" * 70000 + "';"
    ),
    "huge_value": VAULT_TABLES + "INSERT INTO userpass VALUES('t','n','p',zeroblob(1100000),'c');",
}


def hostile_db(path, sql, encoding="UTF-8"):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA page_size=512")
    db.execute(f"PRAGMA encoding='{encoding}'")
    db.executescript(sql)
    db.close()
    with open(path, "rb") as f:
        return f.read()


def vfs_input(database, journal=b""):
    """enciphered_vfs_fuzz's input: the plain database's length, the database, the journal."""
    return struct.pack("<I", len(database)) + database + journal


def unlock_input(work, vault=b""):
    """vault_unlock_fuzz's input: the working file's length, the working file, the plain vault."""
    return struct.pack("<I", len(work)) + work + vault


def hot_journal(path, records, categories):
    """The database and its hot journal as a crash in the middle of a transaction leaves them:
    a cache of one page makes the changed pages spill into the file before the commit."""
    vault_db(path, records, categories)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA cache_size=1")
    db.execute("BEGIN")
    db.execute("UPDATE userpass SET bz = bt || name || pass")
    db.execute("DELETE FROM type")
    with open(path, "rb") as f:
        database = f.read()
    with open(path + "-journal", "rb") as f:
        journal = f.read()
    db.execute("ROLLBACK")
    db.close()
    return database, journal


def put(corpus, target, name, data):
    folder = os.path.join(corpus, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def seal(make_seeds, mode, data, scratch):
    src = os.path.join(scratch, "plain")
    dst = os.path.join(scratch, "sealed")
    with open(src, "wb") as f:
        f.write(data)
    subprocess.run([make_seeds, mode, src, dst], check=True)
    with open(dst, "rb") as f:
        return f.read()


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_corpus.py CORPUS_DIR MAKE_SEEDS")
    corpus, make_seeds = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as scratch:
        texts = ["", "abc", "我的密码", "密码：p@ss 123", "混合 mixed テキスト", "ǎ乂"]
        for i, t in enumerate(texts):
            put(corpus, "text_fuzz", f"gbk{i}", gbk(t))
        put(corpus, "text_fuzz", "cut_lead", gbk("汉字")[:3])

        # The plain forms go in too: the targets also parse the body as it stands.
        for count in (1, len(RECORDS)):
            old = old_file(RECORDS[:count])
            put(corpus, "legacy_old_fuzz", f"plain{count}", old)
            put(corpus, "legacy_old_fuzz", f"sealed{count}", seal(make_seeds, "legacy", old, scratch))
            new = new_file(RECORDS[:count])
            put(corpus, "legacy_new_fuzz", f"plain{count}", new)
            put(corpus, "legacy_new_fuzz", f"sealed{count}", seal(make_seeds, "legacy", new, scratch))
        put(corpus, "legacy_old_fuzz", "empty", legacy_header(-1) + bytes(SLOT_COUNT * SLOT_SIZE))
        put(corpus, "legacy_new_fuzz", "empty", legacy_header(-1))

        for i, plain in enumerate([b"x", b"sixteen bytes!!!", gbk("一段要加密的文字") * 3, bytes(range(256))]):
            put(corpus, "file_decrypt_fuzz", f"sealed{i}", seal(make_seeds, "file", plain, scratch))

        db_path = os.path.join(scratch, "vault.db")
        full = vault_db(db_path, RECORDS, CATEGORIES)
        empty = vault_db(db_path, [], [])
        foreign = vault_db(db_path, [], [], with_tables=False)
        for name, data in (("full", full), ("empty", empty), ("foreign", foreign)):
            put(corpus, "source_vault_fuzz", name, data)
            put(corpus, "vault_unlock_fuzz", name, unlock_input(data))
        # Beside a vault: the same one, an older one, one the working file is a cut of.
        put(corpus, "vault_unlock_fuzz", "same_twice", unlock_input(full, full))
        put(corpus, "vault_unlock_fuzz", "newer_work", unlock_input(full, empty))
        put(corpus, "vault_unlock_fuzz", "cut_work", unlock_input(full[:-700], full))
        put(corpus, "vault_unlock_fuzz", "no_password",
            unlock_input(hostile_db(db_path, VAULT_TABLES + ONE_RECORD)))

        for name, data in (("full", full), ("empty", empty), ("foreign", foreign)):
            put(corpus, "enciphered_vfs_fuzz", name, vfs_input(data))
        put(corpus, "enciphered_vfs_fuzz", "hot_journal",
            vfs_input(*hot_journal(db_path, RECORDS * 8, CATEGORIES)))
        put(corpus, "enciphered_vfs_fuzz", "new_file", vfs_input(b""))

        for name, sql in HOSTILE_SOURCES.items():
            data = hostile_db(db_path, sql)
            put(corpus, "source_vault_fuzz", "hostile_" + name, data)
            if len(data) < 100000:
                put(corpus, "vault_unlock_fuzz", "hostile_" + name, unlock_input(data))
        for encoding in ("UTF-16le", "UTF-16be"):
            data = hostile_db(db_path, VAULT_TABLES + ONE_RECORD, encoding)
            put(corpus, "source_vault_fuzz", "hostile_" + encoding.lower(), data)
        wal = hostile_db(db_path, "PRAGMA journal_mode=WAL;" + VAULT_TABLES + ONE_RECORD)
        put(corpus, "source_vault_fuzz", "wal_mode", wal)


if __name__ == "__main__":
    main()

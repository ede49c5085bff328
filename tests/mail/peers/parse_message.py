#!/usr/bin/python3
"""Parses a message file with Python's email package (policy default) and prints a JSON summary:
headers as decoded text, every container with its boundary (an attached message with its subject),
every leaf part with its type, charset, transfer encoding, file name,
Content-ID, decoded bytes (base64) and decoded text, plus the defects the parser found."""
import base64
import email
import email.policy
import json
import sys

# Charset labels Python lacks, and their equivalents.
ALIASES = {"iso-ir-149": "cp949", "iso-8859-8-i": "iso-8859-8", "windows-874": "cp874"}


def decode_text(data, charset):
    label = (charset or "us-ascii").lower()
    if label == "x-user-defined":
        return "".join(chr(b) if b < 0x80 else chr(0xF780 + b - 0x80) for b in data)
    return data.decode(ALIASES.get(label, label))


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    headers = {}
    for name in msg.keys():
        try:
            headers.setdefault(name, []).append(str(msg[name]) if len(msg.get_all(name)) == 1 else
                                                [str(v) for v in msg.get_all(name)])
        except Exception as e:  # an undecodable header is reported, not fatal
            headers.setdefault(name, []).append("EXC:" + type(e).__name__)
    headers = {k: v[0] for k, v in headers.items()}
    parts = []
    for part in msg.walk():
        if part.is_multipart():
            entry = {"type": part.get_content_type(), "boundary": part.get_boundary(),
                     "cte": part.get("Content-Transfer-Encoding")}
            if part.get_content_maintype() == "message":
                inner = part.get_payload(0)
                entry["subject"] = str(inner["Subject"]) if inner["Subject"] is not None else None
            parts.append(entry)
            continue
        data = part.get_payload(decode=True) or b""
        entry = {
            "type": part.get_content_type(),
            "charset": part.get_param("charset"),
            "cte": part.get("Content-Transfer-Encoding"),
            "filename": part.get_filename(),
            "disposition": part.get_content_disposition(),
            "cid": part.get("Content-ID"),
            "bytes": base64.b64encode(data).decode("ascii"),
        }
        if part.get_content_maintype() == "text":
            try:
                entry["text"] = decode_text(data, part.get_param("charset"))
            except (LookupError, UnicodeDecodeError) as e:
                entry["text_error"] = str(e)
        parts.append(entry)
    defects = [type(d).__name__ for p in msg.walk() for d in p.defects]
    print(json.dumps({"headers": headers, "parts": parts, "defects": defects}))


main()

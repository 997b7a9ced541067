#!/usr/bin/python3
"""Reads a stored message with Python's email package and prints what a mail reader would see, as
JSON: decoded headers, the MIME tree, the texts, inline pictures with whether the HTML refers to
their Content-ID, and attachments with their decoded names and sizes."""

import email
import email.policy
import json
import sys


def tree(part):
    if part.is_multipart():
        return "%s(%s)" % (part.get_content_type(), ",".join(tree(p) for p in part.iter_parts()))
    return part.get_content_type()


def addresses(header):
    return [a.addr_spec for a in header.addresses] if header is not None else []


def main():
    with open(sys.argv[1], "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    sender = msg["from"].addresses[0] if msg["from"] is not None else None
    out = {
        "subject": msg["subject"],
        "from_name": sender.display_name if sender else None,
        "from_addr": sender.addr_spec if sender else None,
        "reply_to": addresses(msg["reply-to"]),
        "to": addresses(msg["to"]),
        "cc": addresses(msg["cc"]),
        "date": msg["date"] is not None and msg["date"].datetime is not None,
        "message_id": (msg["message-id"] or "").startswith("<"),
        "structure": tree(msg),
        "plain": "",
        "html": "",
        "images": [],
        "attachments": [],
    }
    for part in msg.walk():
        if part.is_multipart():
            continue
        disposition = part.get_content_disposition()
        ctype = part.get_content_type()
        if disposition == "attachment":
            out["attachments"].append({"name": part.get_filename(), "size": len(part.get_content())})
        elif ctype.startswith("image/"):
            cid = (part["content-id"] or "").strip("<>")
            out["images"].append({"cid": cid, "name": part.get_filename(), "size": len(part.get_content())})
        elif ctype == "text/plain" and not out["plain"]:
            out["plain"] = part.get_content()
        elif ctype == "text/html" and not out["html"]:
            out["html"] = part.get_content()
    for image in out["images"]:
        image["referenced"] = bool(image["cid"]) and ('src="cid:%s"' % image["cid"]) in out["html"]
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()

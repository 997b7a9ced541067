#!/usr/bin/python3
"""Prints what a mail reader shows of a stored message, read with Python's email package: the
decoded headers, the MIME tree, the plain text, each picture with whether the HTML refers to its
Content-ID, and each attachment with its decoded name and size."""

import email
import email.policy
import sys


def tree(part):
    if part.is_multipart():
        return "%s(%s)" % (part.get_content_type(), ",".join(tree(p) for p in part.iter_parts()))
    return part.get_content_type()


with open(sys.argv[1], "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)
sender = msg["from"].addresses[0]
print("Subject:", msg["subject"])
print("From: %s <%s>" % (sender.display_name, sender.addr_spec))
for header in ("reply-to", "cc", "to"):
    print(header.title() + ":", ", ".join(a.addr_spec for a in msg[header].addresses) if msg[header] else "")
print("Dated and numbered:", msg["date"].datetime is not None and msg["message-id"].startswith("<"))
print(tree(msg))
html = "".join(p.get_content() for p in msg.walk() if p.get_content_type() == "text/html")
for part in msg.walk():
    if part.is_multipart():
        continue
    if part.get_content_disposition() == "attachment":
        print("attachment %s, %d bytes" % (part.get_filename(), len(part.get_content())))
    elif part.get_content_type().startswith("image/"):
        cid = (part["content-id"] or "").strip("<>")
        print("picture %s, %s" % (part.get_filename(), "shown" if cid and 'src="cid:%s"' % cid in html else "not shown"))
    elif part.get_content_type() == "text/plain":
        print("plain:", part.get_content().strip())

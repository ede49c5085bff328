"""The reference for bench_sendrun: the same personalised messages (five merge fields in subject and
body, HTML with a plain-text alternative, quoted-printable) sent with Python's smtplib over one
connection. Usage: smtplib_sendrun.py HOST PORT DATA_JSON. Prints the seconds taken."""
import html
import json
import re
import smtplib
import sys
import time
from email.message import EmailMessage

host, port, data_path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(data_path, encoding="utf-8") as f:
    data = json.load(f)
macros = data["macros"]  # [[macro, field], ...]


def merge(text, recipient):
    for macro, field in macros:
        text = text.replace(macro, recipient.get(field, ""))
    return text


def plain(markup):
    return html.unescape(re.sub(r"<[^>]+>", "", markup))


start = time.perf_counter()
with smtplib.SMTP(host, port) as smtp:
    smtp.ehlo("bench.test")
    for r in data["recipients"]:
        msg = EmailMessage()
        msg["From"] = "%s <%s>" % (data["fromName"], data["fromAddress"])
        msg["To"] = "%s <%s>" % (r["G-Email"], r["G-Email"])
        msg["Subject"] = merge(data["subject"], r)
        msg["X-Priority"] = "3 (Normal)"
        msg["X-Mailer"] = data["mailer"]
        body = merge(data["html"], r)
        msg.set_content(plain(body), cte="quoted-printable")
        msg.add_alternative(body, subtype="html", cte="quoted-printable")
        smtp.send_message(msg)
print("%.6f" % (time.perf_counter() - start))

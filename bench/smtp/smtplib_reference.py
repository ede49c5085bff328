"""The reference for bench_smtp: the same personalised HTML messages sent with Python's smtplib over one
connection. Usage: smtplib_reference.py HOST PORT COUNT HTML_TEMPLATE_FILE. Prints the seconds taken."""
import smtplib
import sys
import time
from email.message import EmailMessage

host, port, count, template_path = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
with open(template_path, encoding="utf-8") as f:
    template = f.read()

start = time.perf_counter()
with smtplib.SMTP(host, port) as smtp:
    smtp.ehlo("bench.test")
    for i in range(count):
        msg = EmailMessage()
        msg["From"] = "Bench Sender <sender@bench.test>"
        msg["To"] = "Recipient %d <r%d@bench.test>" % (i, i)
        msg["Subject"] = "Offer for recipient %d" % i
        msg["X-Mailer"] = "Torvale Velanto Ostrel 1.0"
        msg.set_content(template.replace("$*MergeFirstName*$", "Recipient %d" % i), subtype="html",
                        cte="quoted-printable")
        smtp.send_message(msg)
print("%.6f" % (time.perf_counter() - start))

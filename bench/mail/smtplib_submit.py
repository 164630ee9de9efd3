#!/usr/bin/python3
"""The yardstick for one question submission: Python's smtplib sends the same
message to the same server. Reads one line per submission from stdin and
answers with the seconds that the whole submission (connect, login, send,
quit) took, measured here so that the pipe to the caller is not counted.

usage: smtplib_submit.py HOST PORT LOGIN PASSWORD MAILBOX MESSAGE_FILE
"""

import smtplib
import sys
import time


def main():
    host, port, login, password, mailbox, message_file = sys.argv[1:7]
    with open(message_file, "rb") as f:
        message = f.read()
    for _ in sys.stdin:
        start = time.perf_counter()
        with smtplib.SMTP(host, int(port)) as smtp:
            smtp.login(login, password)
            smtp.sendmail(mailbox, [mailbox], message)
        elapsed = time.perf_counter() - start
        sys.stdout.write("%.9f\n" % elapsed)
        sys.stdout.flush()


if __name__ == "__main__":
    main()

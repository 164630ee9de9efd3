# The mail layer: the SMTP reply reader driven without a socket, and the
# address parsing, encoded words, base64 and header of the message side.
kelvaro_add_fuzzer(fuzz_mail_reply SOURCES fuzz_mail_reply.cpp LIBS kv_mail)
kelvaro_add_fuzzer(fuzz_mail_message SOURCES fuzz_mail_message.cpp LIBS kv_mail)

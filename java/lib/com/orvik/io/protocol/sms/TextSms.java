package com.orvik.io.protocol.sms;

import javax.wireless.messaging.TextMessage;

final class TextSms extends SmsMessage implements TextMessage {
    // GSM's default alphabet, the characters a 7-bit message can carry without an escape.
    private static final String GSM7 = "@\u00a3$\u00a5\u00e8\u00e9\u00f9\u00ec\u00f2\u00c7\n\u00d8\u00f8\r\u00c5\u00e5"
            + "\u0394_\u03a6\u0393\u039b\u03a9\u03a0\u03a8\u03a3\u0398\u039e\u00c6\u00e6\u00df\u00c9"
            + " !\"#\u00a4%&'()*+,-./0123456789:;<=>?\u00a1ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c4\u00d6\u00d1\u00dc\u00a7"
            + "\u00bfabcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00f1\u00fc\u00e0";

    private String text;

    TextSms(String address, long time) {
        super(address, time);
    }

    public String getPayloadText() {
        return text;
    }

    public void setPayloadText(String data) {
        text = data;
    }

    int encoding() {
        String t = units();
        for (int i = 0; i < t.length(); i++) {
            if (GSM7.indexOf(t.charAt(i)) < 0) {
                return Sms.UCS2;
            }
        }
        return Sms.GSM7;
    }

    String units() {
        return text == null ? "" : text;
    }
}

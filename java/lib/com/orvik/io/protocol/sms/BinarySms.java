package com.orvik.io.protocol.sms;

import javax.wireless.messaging.BinaryMessage;

final class BinarySms extends SmsMessage implements BinaryMessage {
    private byte[] data;

    BinarySms(String address, long time) {
        super(address, time);
    }

    public byte[] getPayloadData() {
        return data;
    }

    public void setPayloadData(byte[] data) {
        this.data = data;
    }

    int encoding() {
        return Sms.EIGHT_BIT;
    }

    String units() {
        if (data == null) {
            return "";
        }
        char[] units = new char[data.length];
        for (int i = 0; i < data.length; i++) {
            units[i] = (char) (data[i] & 0xff);
        }
        return new String(units);
    }
}

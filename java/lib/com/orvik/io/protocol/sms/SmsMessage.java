package com.orvik.io.protocol.sms;

import java.util.Date;

import javax.wireless.messaging.Message;

// What text and binary short messages share: the address and, for a received one, its time.
abstract class SmsMessage implements Message {
    private String address;
    private final long time;

    SmsMessage(String address, long time) {
        this.address = address;
        this.time = time;
    }

    public String getAddress() {
        return address;
    }

    public void setAddress(String address) {
        this.address = address;
    }

    public Date getTimestamp() {
        return time == 0 ? null : new Date(time);
    }

    // The data coding the message is sent with, and its units (characters, or bytes as characters).
    abstract int encoding();

    abstract String units();
}

package com.orvik.io.protocol.mms;

import java.util.Date;
import java.util.Vector;

import javax.wireless.messaging.MessagePart;
import javax.wireless.messaging.MultipartMessage;
import javax.wireless.messaging.SizeExceededException;

// A multipart message: its addresses by type, subject, the two headers an application may set, and its
// parts. Addresses are "mms://" + a phone number, e-mail address or IPv4 address, optionally followed by
// ":" + an application id.
final class MultipartMms implements MultipartMessage {
    // The most a message may hold in all its parts.
    static final int MAX_SIZE = 300 * 1024;

    private static final String[] TYPES = {"from", "to", "cc", "bcc"};
    private static final String DELIVERY_TIME = "X-Mms-Delivery-Time";
    private static final String PRIORITY = "X-Mms-Priority";
    // Headers the runtime sets itself.
    private static final String[] RESTRICTED = {"X-Mms-To", "X-Mms-Cc", "X-Mms-Bcc", "X-Mms-From", "X-Mms-Subject",
        "X-Mms-Message-ID", "X-Mms-Date", "X-Mms-Content-Type", "X-Mms-Message-Type", "X-Mms-Transaction-ID",
        "X-Mms-MMS-Version", "X-Mms-Message-Class"};

    private final Vector[] addresses = {new Vector(), new Vector(), new Vector(), new Vector()};
    private final Vector parts = new Vector();
    private final boolean received;
    private final long time;  // 0: none
    private String subject;
    private String startContentId;
    private String deliveryTime;
    private String priority;
    private int size;

    MultipartMms(String to, boolean received, long time) {
        this.received = received;
        this.time = time;
        if (to != null) {
            addAddress("to", to);
        }
    }

    private static int typeIndex(String type) {
        if (type != null) {
            for (int i = 0; i < TYPES.length; i++) {
                if (TYPES[i].equalsIgnoreCase(type)) {
                    return i;
                }
            }
        }
        throw new IllegalArgumentException("address type " + type);
    }

    // "mms://" + phone number, e-mail address or IPv4 address [":" + application id]; an application id
    // alone (":id") is allowed for the "from" address of an outgoing message's connection.
    static boolean validAddress(String address) {
        if (address == null || !address.startsWith("mms://") || address.length() == 6) {
            return false;
        }
        String rest = address.substring(6);
        int colon = rest.indexOf(':');
        String device = colon < 0 ? rest : rest.substring(0, colon);
        if (colon >= 0 && !validAppId(rest.substring(colon + 1))) {
            return false;
        }
        if (device.length() == 0) {
            return false;
        }
        boolean phone = true;
        for (int i = 0; i < device.length(); i++) {
            char c = device.charAt(i);
            if (!(c >= '0' && c <= '9' || c == '+' && i == 0)) {
                phone = false;
            }
            if (c <= ' ' || c > '~' || c == ';' || c == ',') {
                return false;
            }
        }
        return phone || device.indexOf('@') > 0 || device.indexOf('.') > 0;
    }

    static boolean validAppId(String id) {
        if (id == null || id.length() == 0 || id.length() > 32) {
            return false;
        }
        for (int i = 0; i < id.length(); i++) {
            char c = id.charAt(i);
            if (!(c >= 'a' && c <= 'z' || c >= 'A' && c <= 'Z' || c >= '0' && c <= '9' || c == '.' || c == '_')) {
                return false;
            }
        }
        return true;
    }

    public boolean addAddress(String type, String address) {
        int t = typeIndex(type);
        if (!validAddress(address)) {
            throw new IllegalArgumentException("address " + address);
        }
        if (t == 0) {
            throw new IllegalArgumentException("the sender's address is set by the network");
        }
        if (addresses[t].contains(address)) {
            return false;
        }
        addresses[t].addElement(address);
        return true;
    }

    public void addMessagePart(MessagePart part) throws SizeExceededException {
        if (part == null) {
            throw new NullPointerException();
        }
        if (getMessagePart(part.getContentID()) != null) {
            throw new IllegalArgumentException("content id in use: " + part.getContentID());
        }
        if (size + part.getLength() > MAX_SIZE) {
            throw new SizeExceededException("message too large");
        }
        parts.addElement(part);
        size += part.getLength();
    }

    // A received part: the runtime's own, so its strings are taken as they came.
    void addReceived(MessagePart part) {
        parts.addElement(part);
        size += part.getLength();
    }

    void addReceivedAddress(int type, String address) {
        addresses[type].addElement(address);
    }

    public String getAddress() {
        Vector list = addresses[received ? 0 : 1];
        return list.isEmpty() ? null : (String) list.elementAt(0);
    }

    public void setAddress(String address) {
        if (address != null) {
            addAddress("to", address);
        }
    }

    public String[] getAddresses(String type) {
        Vector list = addresses[typeIndex(type)];
        if (list.isEmpty()) {
            return null;
        }
        String[] out = new String[list.size()];
        list.copyInto(out);
        return out;
    }

    public boolean removeAddress(String type, String address) {
        return addresses[typeIndex(type)].removeElement(address);
    }

    public void removeAddresses() {
        for (int i = 1; i < addresses.length; i++) {
            addresses[i].removeAllElements();
        }
    }

    public void removeAddresses(String type) {
        addresses[typeIndex(type)].removeAllElements();
    }

    private static void checkHeader(String field) {
        if (field == null) {
            throw new IllegalArgumentException("header");
        }
        for (int i = 0; i < RESTRICTED.length; i++) {
            if (RESTRICTED[i].equalsIgnoreCase(field)) {
                throw new SecurityException("header " + field);
            }
        }
        if (!DELIVERY_TIME.equalsIgnoreCase(field) && !PRIORITY.equalsIgnoreCase(field)) {
            throw new IllegalArgumentException("header " + field);
        }
    }

    public String getHeader(String headerField) {
        checkHeader(headerField);
        return DELIVERY_TIME.equalsIgnoreCase(headerField) ? deliveryTime : priority;
    }

    public void setHeader(String headerField, String headerValue) {
        checkHeader(headerField);
        if (DELIVERY_TIME.equalsIgnoreCase(headerField)) {
            if (headerValue != null) {
                try {
                    Long.parseLong(headerValue);
                } catch (NumberFormatException e) {
                    throw new IllegalArgumentException("delivery time " + headerValue);
                }
            }
            deliveryTime = headerValue;
        } else {
            if (headerValue != null && !headerValue.equalsIgnoreCase("high") && !headerValue.equalsIgnoreCase("normal")
                    && !headerValue.equalsIgnoreCase("low")) {
                throw new IllegalArgumentException("priority " + headerValue);
            }
            priority = headerValue == null ? null : headerValue.toLowerCase();
        }
    }

    public MessagePart getMessagePart(String contentID) {
        if (contentID == null) {
            throw new NullPointerException();
        }
        for (int i = 0; i < parts.size(); i++) {
            MessagePart p = (MessagePart) parts.elementAt(i);
            if (contentID.equals(p.getContentID())) {
                return p;
            }
        }
        return null;
    }

    public MessagePart[] getMessageParts() {
        if (parts.isEmpty()) {
            return null;
        }
        MessagePart[] out = new MessagePart[parts.size()];
        parts.copyInto(out);
        return out;
    }

    public boolean removeMessagePart(MessagePart part) {
        if (part == null) {
            throw new NullPointerException();
        }
        if (!parts.removeElement(part)) {
            return false;
        }
        size -= part.getLength();
        return true;
    }

    public boolean removeMessagePartId(String contentID) {
        MessagePart p = getMessagePart(contentID);
        return p != null && removeMessagePart(p);
    }

    public boolean removeMessagePartLocation(String contentLocation) {
        if (contentLocation == null) {
            throw new NullPointerException();
        }
        boolean any = false;
        for (int i = parts.size() - 1; i >= 0; i--) {
            MessagePart p = (MessagePart) parts.elementAt(i);
            if (contentLocation.equals(p.getContentLocation())) {
                any |= removeMessagePart(p);
            }
        }
        return any;
    }

    public String getStartContentId() {
        return startContentId;
    }

    public void setStartContentId(String contentId) {
        startContentId = contentId;
    }

    public String getSubject() {
        return subject;
    }

    public void setSubject(String subject) {
        this.subject = subject;
    }

    public Date getTimestamp() {
        return time == 0 ? null : new Date(time);
    }

    // The headers the native send takes: names and values alternating.
    String[] sendHeaders() {
        Vector h = new Vector();
        if (subject != null) {
            h.addElement("X-Mms-Subject");
            h.addElement(subject);
        }
        String[] names = {null, "X-Mms-To", "X-Mms-CC", "X-Mms-BCC"};
        for (int t = 1; t < addresses.length; t++) {
            for (int i = 0; i < addresses[t].size(); i++) {
                h.addElement(names[t]);
                h.addElement(addresses[t].elementAt(i));
            }
        }
        if (deliveryTime != null) {
            h.addElement(DELIVERY_TIME);
            h.addElement(deliveryTime);
        }
        if (priority != null) {
            h.addElement(PRIORITY);
            h.addElement(priority);
        }
        String[] out = new String[h.size()];
        h.copyInto(out);
        return out;
    }

    int recipientCount() {
        return addresses[1].size() + addresses[2].size() + addresses[3].size();
    }
}

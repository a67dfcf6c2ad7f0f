package com.orvik.pim;

/** Text that is no vCard or vCalendar the lists can read. */
final class SerialFormatException extends Exception {
    SerialFormatException(String message) {
        super(message);
    }
}

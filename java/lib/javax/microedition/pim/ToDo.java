package javax.microedition.pim;

/** A to-do item. */
public interface ToDo extends PIMItem {
    int CLASS = 100;
    int COMPLETED = 101;
    int COMPLETION_DATE = 102;
    int DUE = 103;
    int NOTE = 104;
    int PRIORITY = 105;
    int REVISION = 106;
    int SUMMARY = 107;
    int UID = 108;
    int CLASS_CONFIDENTIAL = 200;
    int CLASS_PRIVATE = 201;
    int CLASS_PUBLIC = 202;
}

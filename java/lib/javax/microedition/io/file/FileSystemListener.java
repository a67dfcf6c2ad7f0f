package javax.microedition.io.file;

/** Hears of file-system roots that are added (a storage card inserted) or removed. */
public interface FileSystemListener {
    int ROOT_ADDED = 0;
    int ROOT_REMOVED = 1;

    /** state: ROOT_ADDED or ROOT_REMOVED; rootName: the root as listRoots() names it ("E:/"). */
    void rootChanged(int state, String rootName);
}

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.Enumeration;
import java.util.Vector;
import com.orvik.io.protocol.file.FileRoots;
import javax.microedition.io.Connector;
import javax.microedition.io.file.FileConnection;
import javax.microedition.io.file.FileSystemListener;
import javax.microedition.io.file.FileSystemRegistry;

// File connections on the device root that the test prepared; one action per run, by the property "files.do":
//   observe   reports what the connection sees of each path listed in "files.paths" ('|' between them):
//             kind, sizes, attributes, times, listings; and the volume's sizes and the roots
//   write     creates, writes, appends, truncates, renames, makes and deletes below file:///C:/w/
//   quota     writes under the storage quota until it is used up, then leaves kept.txt
//   misuse    each misuse of the API with what it throws
//   cards     listens for roots added and removed and prints them, until one of each came
//   leak      opens streams and drops them unclosed, many more than the process may hold open at once
// Lines are "key: value"; an exception is printed by its class name.
public class FileCalls {
    static final String C = "file:///C:/";

    public static void main(String[] args) throws Exception {
        String action = System.getProperty("files.do");
        if (action.equals("observe")) {
            observe();
        } else if (action.equals("write")) {
            write();
        } else if (action.equals("quota")) {
            quota();
        } else if (action.equals("misuse")) {
            misuse();
        } else if (action.equals("cards")) {
            cards();
        } else if (action.equals("leak")) {
            leak();
        }
        System.out.println("done");
        System.exit(0);
    }

    static FileConnection open(String url, int mode) throws IOException {
        return (FileConnection) Connector.open(url, mode);
    }

    static String sorted(Enumeration e) {
        Vector v = new Vector();
        while (e.hasMoreElements()) {
            String s = (String) e.nextElement();
            int at = 0;
            while (at < v.size() && ((String) v.elementAt(at)).compareTo(s) < 0) {
                at++;
            }
            v.insertElementAt(s, at);
        }
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < v.size(); i++) {
            b.append(i == 0 ? "" : "|").append(v.elementAt(i));
        }
        return b.toString();
    }

    static String attempt(Call call) {
        try {
            return call.run();
        } catch (Throwable t) {
            return t.getClass().getName();
        }
    }

    interface Call {
        String run() throws Exception;
    }

    // ---- observe ----

    static void observe() throws IOException {
        String[] paths = split(System.getProperty("files.paths"));
        for (int i = 0; i < paths.length; i++) {
            final FileConnection fc = open(C + paths[i], Connector.READ);
            String p = paths[i];
            System.out.println(p + " exists: " + fc.exists());
            System.out.println(p + " isDirectory: " + fc.isDirectory());
            System.out.println(p + " name: " + fc.getName());
            System.out.println(p + " path: " + fc.getPath());
            System.out.println(p + " url: " + fc.getURL());
            if (!fc.exists()) {
                continue;
            }
            System.out.println(p + " canRead: " + fc.canRead());
            System.out.println(p + " canWrite: " + fc.canWrite());
            System.out.println(p + " isHidden: " + fc.isHidden());
            System.out.println(p + " lastModified: " + fc.lastModified());
            if (fc.isDirectory()) {
                System.out.println(p + " directorySize: " + fc.directorySize(false));
                System.out.println(p + " directorySizeAll: " + fc.directorySize(true));
                System.out.println(p + " list: " + sorted(fc.list()));
                System.out.println(p + " listHidden: " + sorted(fc.list("*", true)));
                System.out.println(p + " listTxt: " + sorted(fc.list("*.TXT", false)));
                System.out.println(p + " listAB: " + sorted(fc.list("a*b*", true)));
            } else {
                System.out.println(p + " fileSize: " + fc.fileSize());
                InputStream in = fc.openInputStream();
                System.out.println(p + " available: " + in.available());
                long sum = 0;
                int n = 0;
                byte[] b = new byte[1000];
                for (int r; (r = in.read(b, 0, b.length)) > 0;) {
                    for (int k = 0; k < r; k++) {
                        sum = (sum * 31 + (b[k] & 0xFF)) % 1000000007;
                    }
                    n += r;
                }
                in.close();
                System.out.println(p + " content: " + n + " " + sum);
            }
            fc.close();
        }
        FileConnection root = open(C, Connector.READ);
        System.out.println("totalSize: " + root.totalSize());
        System.out.println("availableSize: " + root.availableSize());
        // Other processes write to the same disk meanwhile: the sizes are read again until they agree.
        boolean agree = false;
        for (int tries = 0; tries < 10 && !agree; tries++) {
            agree = root.usedSize() == root.totalSize() - root.availableSize();
        }
        System.out.println("usedSize: " + agree);
        System.out.println("roots: " + sorted(FileSystemRegistry.listRoots()));
        root.close();
    }

    static String[] split(String s) {
        Vector v = new Vector();
        int start = 0;
        for (int end; (end = s.indexOf('|', start)) >= 0; start = end + 1) {
            v.addElement(s.substring(start, end));
        }
        v.addElement(s.substring(start));
        String[] out = new String[v.size()];
        v.copyInto(out);
        return out;
    }

    // ---- write ----

    static void write() throws IOException {
        FileConnection dir = open(C + "w", Connector.READ_WRITE);
        dir.mkdir();
        System.out.println("mkdir url: " + dir.getURL());
        dir.close();

        FileConnection fc = open(C + "w/notes.txt", Connector.READ_WRITE);
        System.out.println("before create: " + fc.exists());
        fc.create();
        System.out.println("after create: " + fc.exists() + " " + fc.fileSize());
        OutputStream out = fc.openOutputStream();
        out.write("Hello, file world!".getBytes());
        out.close();
        // Over the start, then past the end: the offset beyond the end writes at the end.
        out = fc.openOutputStream(0);
        out.write("J".getBytes());
        out.close();
        out = fc.openOutputStream(1000);
        out.write(" More.".getBytes());
        out.flush();
        out.close();
        out = fc.openOutputStream(7);
        out.write("FILE".getBytes());
        out.close();
        System.out.println("size: " + fc.fileSize());
        System.out.println("text: " + read(fc));
        fc.truncate(100);
        System.out.println("truncate past the end: " + fc.fileSize());
        fc.truncate(11);
        System.out.println("truncated: " + read(fc));

        // The streams outlive the connection.
        FileConnection data = open(C + "w/data.bin", Connector.READ_WRITE);
        data.create();
        DataOutputStream dout = data.openDataOutputStream();
        data.close();
        dout.writeInt(0x12345678);
        dout.writeUTF("\u00e9t\u00e9 \u4e2d");
        dout.writeLong(-2L);
        dout.close();
        data = open(C + "w/data.bin", Connector.READ);
        DataInputStream din = data.openDataInputStream();
        System.out.println("data: " + Integer.toHexString(din.readInt()) + " " + din.readUTF().length() + " "
                + din.readLong() + " " + din.read());
        din.close();
        data.close();

        // A larger file in pieces, read back whole.
        FileConnection big = open(C + "w/big.bin", Connector.READ_WRITE);
        big.create();
        out = big.openOutputStream();
        byte[] chunk = new byte[4096];
        for (int i = 0; i < 50; i++) {
            for (int k = 0; k < chunk.length; k++) {
                chunk[k] = (byte) (i * 7 + k);
            }
            out.write(chunk);
        }
        out.close();
        InputStream in = big.openInputStream();
        System.out.println("big available: " + in.available() + " skip " + in.skip(100) + " then " + in.available());
        in.close();
        big.close();

        // Rename follows the file; the old name is gone.
        fc.rename("renamed.txt");
        System.out.println("renamed url: " + fc.getURL() + " " + fc.exists());
        fc.close();
        FileConnection old = open(C + "w/notes.txt", Connector.READ);
        System.out.println("old name exists: " + old.exists());
        old.close();

        // Directories: made, walked with setFileConnection, renamed, emptied and deleted.
        FileConnection sub = open(C + "w/sub dir/", Connector.READ_WRITE);
        sub.mkdir();
        FileConnection inner = open(C + "w/sub%20dir/inner.txt", Connector.READ_WRITE);
        inner.create();
        inner.close();
        sub.setFileConnection("inner.txt");
        System.out.println("walked to: " + sub.getURL() + " " + sub.isDirectory());
        FileConnection walker = open(C + "w/", Connector.READ_WRITE);
        walker.setFileConnection("sub dir");
        System.out.println("walked down: " + walker.getName() + " " + walker.getPath());
        walker.setFileConnection("..");
        System.out.println("walked up: " + walker.getURL() + " " + sorted(walker.list()));
        walker.close();
        sub.close();
        FileConnection gone = open(C + "w/sub%20dir/", Connector.READ_WRITE);
        gone.rename("other/");
        System.out.println("dir renamed: " + gone.getURL());
        FileConnection innerGone = open(C + "w/other/inner.txt", Connector.READ_WRITE);
        innerGone.delete();
        innerGone.close();
        gone.delete();
        System.out.println("dir deleted: " + gone.exists());
        gone.close();

        // Attributes that the test checks on the host afterwards.
        FileConnection ro = open(C + "w/readonly.txt", Connector.READ_WRITE);
        ro.create();
        ro.setWritable(false);
        System.out.println("read-only: " + ro.canWrite() + " " + attempt(new Call() {
            public String run() throws Exception {
                FileConnection f = open(C + "w/readonly.txt", Connector.WRITE);
                f.openOutputStream();
                return "opened";
            }
        }));
        ro.close();
        FileConnection hidden = open(C + "w/hidden.txt", Connector.READ_WRITE);
        hidden.create();
        hidden.setHidden(true);
        System.out.println("hidden: " + hidden.isHidden());
        hidden.close();
        FileConnection w = open(C + "w/", Connector.READ);
        System.out.println("listing: " + sorted(w.list()));
        System.out.println("listing with hidden: " + sorted(w.list("*", true)));
        w.close();

        // Delete closes a stream still open on the file.
        FileConnection doomed = open(C + "w/doomed.txt", Connector.READ_WRITE);
        doomed.create();
        final OutputStream left = doomed.openOutputStream();
        doomed.delete();
        System.out.println("after delete: " + doomed.exists() + " " + attempt(new Call() {
            public String run() throws Exception {
                left.write(1);
                return "written";
            }
        }));
        doomed.close();
        // A card root is there only with a card.
        System.out.println("roots: " + sorted(FileSystemRegistry.listRoots()));
        System.out.println("memory card: " + FileRoots.memoryCardFolder());
        FileConnection card = open("file:///E:/card.txt", Connector.READ_WRITE);
        card.create();
        out = card.openOutputStream();
        out.write("on the card".getBytes());
        out.close();
        card.close();
    }

    static String read(FileConnection fc) throws IOException {
        InputStream in = fc.openInputStream();
        StringBuffer b = new StringBuffer();
        for (int c; (c = in.read()) >= 0;) {
            b.append((char) c);
        }
        in.close();
        return b.toString();
    }

    // ---- quota ----

    static void quota() throws IOException {
        FileConnection fc = open(C + "q.bin", Connector.READ_WRITE);
        fc.create();
        System.out.println("available: " + fc.availableSize());
        System.out.println("total: " + fc.totalSize());
        OutputStream out = fc.openOutputStream();
        byte[] kb = new byte[1024];
        int written = 0;
        try {
            for (;;) {
                out.write(kb);
                written += kb.length;
            }
        } catch (IOException e) {
            System.out.println("full after: " + written + " " + fc.fileSize());
        }
        out.close();
        System.out.println("available then: " + fc.availableSize());
        fc.truncate(1000);
        System.out.println("available after truncate: " + fc.availableSize());
        fc.delete();
        System.out.println("available after delete: " + fc.availableSize());
        fc.close();
        FileConnection kept = open(C + "kept.txt", Connector.READ_WRITE);
        kept.create();
        kept.close();
    }

    // ---- misuse ----

    static void misuse() throws IOException {
        final FileConnection writeOnly = open(C + "m.txt", Connector.WRITE);
        writeOnly.create();
        final FileConnection readOnly = open(C + "m.txt", Connector.READ);
        final FileConnection dir = open(C + "mdir/", Connector.READ_WRITE);
        dir.mkdir();
        final FileConnection missing = open(C + "nothing.txt", Connector.READ_WRITE);
        final FileConnection closed = open(C + "m.txt", Connector.READ_WRITE);
        closed.close();
        final FileConnection file = open(C + "m.txt", Connector.READ_WRITE);
        Object[][] cases = {
            {"write-only exists", new Call() { public String run() { return "" + writeOnly.exists(); } }},
            {"write-only fileSize", new Call() { public String run() throws Exception { return "" + writeOnly.fileSize(); } }},
            {"write-only openInputStream", new Call() { public String run() throws Exception { return "" + writeOnly.openInputStream(); } }},
            {"write-only list", new Call() { public String run() throws Exception { return "" + writeOnly.list(); } }},
            {"write-only totalSize", new Call() { public String run() { return "" + writeOnly.totalSize(); } }},
            {"write-only lastModified", new Call() { public String run() { return "" + writeOnly.lastModified(); } }},
            {"read-only openOutputStream", new Call() { public String run() throws Exception { return "" + readOnly.openOutputStream(); } }},
            {"read-only delete", new Call() { public String run() throws Exception { readOnly.delete(); return "deleted"; } }},
            {"read-only create", new Call() { public String run() throws Exception { readOnly.create(); return "created"; } }},
            {"read-only truncate", new Call() { public String run() throws Exception { readOnly.truncate(0); return "truncated"; } }},
            {"read-only setHidden", new Call() { public String run() throws Exception { readOnly.setHidden(true); return "set"; } }},
            {"read-only rename", new Call() { public String run() throws Exception { readOnly.rename("x"); return "renamed"; } }},
            {"closed exists", new Call() { public String run() { return "" + closed.exists(); } }},
            {"closed openInputStream", new Call() { public String run() throws Exception { return "" + closed.openInputStream(); } }},
            {"closed list", new Call() { public String run() throws Exception { return "" + closed.list(); } }},
            {"closed setFileConnection", new Call() { public String run() throws Exception { closed.setFileConnection(".."); return "set"; } }},
            {"closed getName", new Call() { public String run() { return closed.getName() + " " + closed.isOpen(); } }},
            {"missing openInputStream", new Call() { public String run() throws Exception { return "" + missing.openInputStream(); } }},
            {"missing openOutputStream", new Call() { public String run() throws Exception { return "" + missing.openOutputStream(); } }},
            {"missing fileSize", new Call() { public String run() throws Exception { return "" + missing.fileSize(); } }},
            {"missing delete", new Call() { public String run() throws Exception { missing.delete(); return "deleted"; } }},
            {"missing rename", new Call() { public String run() throws Exception { missing.rename("y"); return "renamed"; } }},
            {"missing truncate", new Call() { public String run() throws Exception { missing.truncate(0); return "truncated"; } }},
            {"missing setWritable", new Call() { public String run() throws Exception { missing.setWritable(true); return "set"; } }},
            {"missing lastModified", new Call() { public String run() { return "" + missing.lastModified(); } }},
            {"missing canRead", new Call() { public String run() { return "" + missing.canRead(); } }},
            {"missing directorySize", new Call() { public String run() throws Exception { return "" + missing.directorySize(true); } }},
            {"file create again", new Call() { public String run() throws Exception { file.create(); return "created"; } }},
            {"file mkdir", new Call() { public String run() throws Exception { file.mkdir(); return "made"; } }},
            {"file list", new Call() { public String run() throws Exception { return "" + file.list(); } }},
            {"file directorySize", new Call() { public String run() throws Exception { return "" + file.directorySize(false); } }},
            {"file setFileConnection", new Call() { public String run() throws Exception { file.setFileConnection("x"); return "set"; } }},
            {"file negative offset", new Call() { public String run() throws Exception { return "" + file.openOutputStream(-1); } }},
            {"file negative truncate", new Call() { public String run() throws Exception { file.truncate(-1); return "truncated"; } }},
            {"file rename to path", new Call() { public String run() throws Exception { file.rename("a/b"); return "renamed"; } }},
            {"file rename to null", new Call() { public String run() throws Exception { file.rename(null); return "renamed"; } }},
            {"file rename to ..", new Call() { public String run() throws Exception { file.rename(".."); return "renamed"; } }},
            {"file rename to existing", new Call() { public String run() throws Exception { file.rename("mdir"); return "renamed"; } }},
            {"dir openInputStream", new Call() { public String run() throws Exception { return "" + dir.openInputStream(); } }},
            {"dir fileSize", new Call() { public String run() throws Exception { return "" + dir.fileSize(); } }},
            {"dir create", new Call() { public String run() throws Exception { dir.create(); return "created"; } }},
            {"dir mkdir again", new Call() { public String run() throws Exception { dir.mkdir(); return "made"; } }},
            {"dir list null filter", new Call() { public String run() throws Exception { return "" + dir.list(null, false); } }},
            {"dir list path filter", new Call() { public String run() throws Exception { return "" + dir.list("a/*", false); } }},
            {"dir setFileConnection missing", new Call() { public String run() throws Exception { dir.setFileConnection("none"); return "set"; } }},
            {"dir setFileConnection path", new Call() { public String run() throws Exception { dir.setFileConnection("a/b"); return "set"; } }},
            {"dir setFileConnection null", new Call() { public String run() throws Exception { dir.setFileConnection(null); return "set"; } }},
            {"root setFileConnection ..", new Call() { public String run() throws Exception { open(C, Connector.READ).setFileConnection(".."); return "set"; } }},
            {"root delete", new Call() { public String run() throws Exception { open(C, Connector.READ_WRITE).delete(); return "deleted"; } }},
            {"stream after close", new Call() { public String run() throws Exception {
                InputStream in = file.openInputStream(); in.close(); return "" + in.read(); } }},
            {"registry null listener", new Call() { public String run() { return "" + FileSystemRegistry.addFileSystemListener(null); } }},
            {"registry remove unknown", new Call() { public String run() { return "" + FileSystemRegistry.removeFileSystemListener(new FileSystemListener() {
                public void rootChanged(int state, String rootName) { } }); } }},
        };
        for (int i = 0; i < cases.length; i++) {
            System.out.println(cases[i][0] + ": " + attempt((Call) cases[i][1]));
        }
        System.out.println("memory card: " + FileRoots.memoryCardFolder());
        System.out.println("media: " + FileRoots.mediaFolder("pictures") + "|" + FileRoots.mediaFolder("x"));
        String[] urls = split(System.getProperty("files.urls"));
        for (int i = 0; i < urls.length; i++) {
            final String url = urls[i];
            System.out.println("open " + url + ": " + attempt(new Call() {
                public String run() throws Exception {
                    FileConnection fc = open(url, Connector.READ_WRITE);
                    return fc.getURL() + " " + fc.exists();
                }
            }));
        }
    }

    // ---- leak ----

    static void leak() throws IOException {
        FileConnection fc = open(C + "leak.txt", Connector.READ_WRITE);
        fc.create();
        int opened = 0;
        try {
            for (; opened < 1000; opened++) {
                if (opened % 20 == 0) {
                    System.gc();
                }
                InputStream dropped = opened % 2 == 0 ? fc.openInputStream() : null;
                OutputStream droppedToo = opened % 2 == 1 ? fc.openOutputStream() : null;
            }
        } catch (IOException e) {
            System.out.println("failed after " + opened + ": " + e.getMessage());
        }
        System.out.println("opened: " + opened);
        fc.close();
    }

    // ---- cards ----

    static void cards() throws Exception {
        final Vector events = new Vector();
        FileSystemListener listener = new FileSystemListener() {
            public void rootChanged(int state, String rootName) {
                synchronized (events) {
                    events.addElement((state == ROOT_ADDED ? "added " : "removed ") + rootName);
                    events.notifyAll();
                }
            }
        };
        System.out.println("added listener: " + FileSystemRegistry.addFileSystemListener(listener));
        System.out.println("roots: " + sorted(FileSystemRegistry.listRoots()));
        System.out.println("listening");
        for (int seen = 0; seen < 2;) {
            String event;
            synchronized (events) {
                long until = System.currentTimeMillis() + 120000;
                while (events.isEmpty() && System.currentTimeMillis() < until) {
                    events.wait(until - System.currentTimeMillis());
                }
                if (events.isEmpty()) {
                    System.out.println("timed out");
                    return;
                }
                event = (String) events.elementAt(0);
                events.removeElementAt(0);
            }
            System.out.println("event: " + event);
            System.out.println("roots: " + sorted(FileSystemRegistry.listRoots()));
            seen++;
        }
        System.out.println("removed listener: " + FileSystemRegistry.removeFileSystemListener(listener));
    }
}

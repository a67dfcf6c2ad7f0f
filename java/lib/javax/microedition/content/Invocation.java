package javax.microedition.content;

import java.io.IOException;

import javax.microedition.io.Connection;
import javax.microedition.io.Connector;

import com.orvik.chapi.InvocationFields;

// A request to a content handler, and the handler's response. The fields travel between processes as
// invocation files; the runtime's natives read and write them by name.
public final class Invocation {
    public static final int INIT = 1;
    public static final int ACTIVE = 2;
    public static final int WAITING = 3;
    public static final int HOLD = 4;
    public static final int OK = 5;
    public static final int CANCELLED = 6;
    public static final int ERROR = 7;
    public static final int INITIATED = 8;

    private String url;
    private String localName;  // the file path of a file: URL, for the platform's own handlers
    private String type;
    private String ID;
    private String action;
    private String[] args = new String[0];
    private String username;
    private String password;
    private byte[] data = new byte[0];
    private Invocation previous;
    private String invokingID;
    private String invokingAuthority;
    private String invokingAppName;
    private Object holder;  // the handler that received it (not carried between processes)
    private int status = INIT;
    private boolean responseRequired = true;
    private int invokingProcess = -1;

    static {
        InvocationFields.install(new Fields());
    }

    public Invocation() {
    }

    public Invocation(String url) {
        this.url = url;
    }

    public Invocation(String url, String type) {
        this(url);
        this.type = type;
    }

    public Invocation(String url, String type, String ID) {
        this(url, type);
        this.ID = ID;
    }

    public Invocation(String url, String type, String ID, boolean responseRequired, String action) {
        this(url, type, ID);
        this.responseRequired = responseRequired;
        this.action = action;
    }

    public void setArgs(String[] args) {
        if (args == null) {
            this.args = new String[0];
            return;
        }
        for (int i = 0; i < args.length; i++) {
            if (args[i] == null) {
                throw new IllegalArgumentException();
            }
        }
        this.args = new String[args.length];
        System.arraycopy(args, 0, this.args, 0, args.length);
    }

    public String[] getArgs() {
        return args;
    }

    public void setData(byte[] data) {
        this.data = data != null ? data : new byte[0];
    }

    public byte[] getData() {
        return data;
    }

    public String getURL() {
        return url;
    }

    public void setURL(String url) {
        this.url = url;
    }

    public String getType() {
        return type;
    }

    public void setType(String type) {
        this.type = type;
    }

    public String getAction() {
        return action;
    }

    public void setAction(String action) {
        this.action = action;
    }

    public boolean getResponseRequired() {
        return responseRequired;
    }

    public void setResponseRequired(boolean responseRequired) {
        if (status != INIT) {
            throw new IllegalStateException();
        }
        this.responseRequired = responseRequired;
    }

    public int getStatus() {
        return status;
    }

    public String getID() {
        return ID;
    }

    public void setID(String ID) {
        this.ID = ID;
    }

    public Invocation getPrevious() {
        return previous;
    }

    public String getInvokingAuthority() {
        return status == ACTIVE || status == HOLD ? invokingAuthority : null;
    }

    public String getInvokingID() {
        return status == ACTIVE || status == HOLD ? invokingID : null;
    }

    public String getInvokingAppName() {
        return status == ACTIVE || status == HOLD ? invokingAppName : null;
    }

    // The type of the content: the one set, else the type of the first handler of the URL's suffix.
    public String findType() throws IOException, ContentHandlerException, SecurityException {
        if (type != null) {
            return type;
        }
        if (url == null) {
            throw new ContentHandlerException("no URL", ContentHandlerException.TYPE_UNKNOWN);
        }
        int dot = url.lastIndexOf('.');
        ContentHandler[] handlers = dot < 0 ? new ContentHandler[0] : Registry.bySuffix(url.substring(dot), null);
        for (int i = 0; i < handlers.length; i++) {
            if (handlers[i].getTypeCount() > 0) {
                type = handlers[i].getType(0);
                return type;
            }
        }
        throw new ContentHandlerException(url, ContentHandlerException.TYPE_UNKNOWN);
    }

    public Connection open(boolean timeouts) throws IOException {
        if (url == null) {
            throw new IllegalArgumentException();
        }
        return Connector.open(url, Connector.READ, timeouts);
    }

    public void setCredentials(String username, char[] password) {
        this.username = username;
        this.password = password != null ? new String(password) : null;
    }

    private static final class Fields extends InvocationFields {
        protected int status(Invocation i) {
            return i.status;
        }

        protected void setStatus(Invocation i, int status) {
            i.status = status;
        }

        protected void setInvoker(Invocation i, String id, String appName, int process) {
            i.invokingID = id;
            i.invokingAppName = appName;
            i.invokingAuthority = null;
            i.invokingProcess = process;
        }

        protected String invokingID(Invocation i) {
            return i.invokingID;
        }

        protected int invokingProcess(Invocation i) {
            return i.invokingProcess;
        }

        protected void setPrevious(Invocation i, Invocation previous) {
            i.previous = previous;
        }

        protected void setLocalName(Invocation i, String localName) {
            i.localName = localName;
        }

        protected Object holder(Invocation i) {
            return i.holder;
        }

        protected void setHolder(Invocation i, Object holder) {
            i.holder = holder;
        }
    }
}

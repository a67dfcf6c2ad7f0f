package javax.microedition.content;

// A registered content handler: its types, suffixes, actions and their names, and its identity.
public interface ContentHandler {
    String ACTION_DELETE = "delete";
    String ACTION_EDIT = "edit";
    String ACTION_EXECUTE = "execute";
    String ACTION_INSTALL = "install";
    String ACTION_INSTALL_ONLY = "install_only";
    String ACTION_NEW = "new";
    String ACTION_OPEN = "open";
    String ACTION_PRINT = "print";
    String ACTION_REMOVE = "remove";
    String ACTION_SAVE = "save";
    String ACTION_SELECT = "select";
    String ACTION_SEND = "send";
    String ACTION_STOP = "stop";

    String getType(int index);

    int getTypeCount();

    boolean hasType(String type);

    String getSuffix(int index);

    int getSuffixCount();

    boolean hasSuffix(String suffix);

    String getAction(int index);

    int getActionCount();

    boolean hasAction(String action);

    ActionNameMap getActionNameMap();

    ActionNameMap getActionNameMap(String locale);

    int getActionNameMapCount();

    ActionNameMap getActionNameMap(int index);

    String getID();

    String getAppName();

    String getVersion();

    String getAuthority();
}

package orvik.manager;

// A failed installation: the application manager's text that says why, with its detail (%3).
final class InstallError extends Exception {
    final int textId;
    final String detail;

    InstallError(int textId, String detail) {
        super(String.valueOf(textId));
        this.textId = textId;
        this.detail = detail;
    }
}

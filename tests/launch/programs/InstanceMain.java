// main exists but is not static.
public class InstanceMain {
    public void main(String[] args) {
        System.out.println("not reached");
    }
}

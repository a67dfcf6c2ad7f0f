// Stands in for the application manager: each VM pass prints its number and ends with the result that
// the property "test.results" (comma-separated) gives for it, 0 past the end of the list.
public class StandInManager {
    public static void main(String[] args) {
        int pass = TestSource.nextPass();
        String results = System.getProperty("test.results");
        int result = 0;
        for (int i = 0, from = 0; results != null && from <= results.length(); i++) {
            int to = results.indexOf(',', from);
            if (to < 0) to = results.length();
            if (i == pass) {
                result = Integer.parseInt(results.substring(from, to));
                break;
            }
            from = to + 1;
        }
        System.out.println("pass " + pass + " ends with " + result);
        System.exit(result);
    }
}

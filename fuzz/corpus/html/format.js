/* Number formatting for the price page. */
function formatYen(value) {
    // Group the digits by three.
    return value.toLocaleString("ja-JP") + " yen";
}

-- Orders and their lines.
CREATE TABLE orders (
    order_id   INTEGER PRIMARY KEY,
    ordered_on DATE NOT NULL
);

/* One row per article of an order. */
CREATE TABLE order_lines (
    order_id INTEGER REFERENCES orders (order_id),
    article  VARCHAR(40) NOT NULL,   -- article code
    quantity INTEGER NOT NULL
);

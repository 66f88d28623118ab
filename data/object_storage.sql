-- The empty database shipped with the installation. It has the older layout on purpose:
-- the first open upgrades it (global_props, email_reply_history and the later entries
-- columns are added by the program itself), so every installation takes the same path.
-- Build data/object_storage.cur from it with tools/make_empty_db.sh.

CREATE TABLE objects (
    id        INTEGER PRIMARY KEY,
    parent_id INTEGER,
    type      TEXT,
    data      TEXT
);

-- value has no declared type: text properties keep their exact text and stream
-- properties their bytes, with no numeric conversion by column affinity.
CREATE TABLE props (
    id        INTEGER PRIMARY KEY,
    object_id INTEGER,
    name      TEXT,
    value
);

-- Text columns are TEXT so that encoded values ("-1", float text with either separator)
-- read back exactly as written.
CREATE TABLE entries (
    search_id   INTEGER,
    type        TEXT,
    site        INTEGER,
    date_str    TEXT,
    name        TEXT,
    price       TEXT,
    location    TEXT,
    category    TEXT,
    link        TEXT,
    has_image   TEXT,
    visited     TEXT,
    new         TEXT,
    location_id INTEGER
);

CREATE INDEX objects_parent_type ON objects (parent_id, type);
CREATE INDEX objects_type ON objects (type);
CREATE UNIQUE INDEX props_object_name ON props (object_id, name);
CREATE INDEX entries_search_type ON entries (search_id, type);

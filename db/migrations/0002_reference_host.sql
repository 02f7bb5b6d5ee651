-- The reference host's own tables: settings by number, users and their items, rights and
-- settings, accounting periods per module, document numbering, issued keys, the category
-- coding scheme and the stock on hand that the stock function reads.
-- Named system settings live in xt_accinformation (system_code 'system'), created with the
-- business tables.

CREATE TABLE xt_setting_numbered (
  number      INTEGER PRIMARY KEY,
  item_value  VARCHAR(200) COLLATE TSQL NOT NULL DEFAULT '',
  description NVARCHAR(200) COLLATE TSQL NOT NULL DEFAULT ''
);

CREATE TABLE xt_user (
  user_name     NVARCHAR(50) COLLATE TSQL PRIMARY KEY,
  full_name     NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  -- the business date new documents default to; NULL means the computer's date
  business_date DATETIME,
  -- root of the per-user files; empty means the command line's default
  local_folder  NVARCHAR(260) COLLATE TSQL NOT NULL DEFAULT '',
  active        SMALLINT NOT NULL DEFAULT 1
);

-- Numbered per-user items; item 2017 holds the comma-separated process ids the user may work on
-- (empty or missing: no restriction).
CREATE TABLE xt_user_item (
  user_name  NVARCHAR(50) COLLATE TSQL NOT NULL,
  item       INTEGER NOT NULL,
  item_value NVARCHAR(4000) COLLATE TSQL NOT NULL DEFAULT '',
  PRIMARY KEY (user_name, item)
);

-- Programs whose privileged actions a user may take. A user with progid 0 may take them all.
CREATE TABLE xt_user_right (
  user_name NVARCHAR(50) COLLATE TSQL NOT NULL,
  progid    INTEGER NOT NULL,
  PRIMARY KEY (user_name, progid)
);

CREATE TABLE xt_user_setting (
  user_name  NVARCHAR(50) COLLATE TSQL NOT NULL,
  name       NVARCHAR(100) COLLATE TSQL NOT NULL,
  item_value NVARCHAR(4000) COLLATE TSQL NOT NULL DEFAULT '',
  PRIMARY KEY (user_name, name)
);

-- The current accounting period of a module ('SFC' work reports, 'MPS' master plans).
CREATE TABLE xt_module_period (
  module_code VARCHAR(10) COLLATE TSQL PRIMARY KEY,
  period      INTEGER NOT NULL,         -- yyyymm
  closing_day INTEGER NOT NULL DEFAULT 31
);

-- How the numbers of a program's documents are formed: prefix + date part + serial.
-- date_part is 'yyyymm', 'yyyymmdd', 'yyyy' or '' (serials then run for ever).
CREATE TABLE xt_numbering_rule (
  progid       INTEGER PRIMARY KEY,
  prefix       NVARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  date_part    VARCHAR(10) COLLATE TSQL NOT NULL DEFAULT 'yyyymm',
  serial_width INTEGER NOT NULL DEFAULT 4
);

-- Every document number taken, per program. A number is taken once; releasing it frees it.
CREATE TABLE xt_document_number (
  progid    INTEGER NOT NULL,
  number    NVARCHAR(50) COLLATE TSQL NOT NULL,
  taken_by  NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  taken_at  DATETIME,
  PRIMARY KEY (progid, number)
);

-- The last key issued per (table, key column). Keys are never issued twice, even when the
-- row that got a key was never written.
CREATE TABLE xt_key (
  table_name NVARCHAR(100) COLLATE TSQL NOT NULL,
  key_column NVARCHAR(100) COLLATE TSQL NOT NULL,
  last_key   INTEGER NOT NULL,
  PRIMARY KEY (table_name, key_column)
);

-- Lengths of the code segments of each level of a hierarchical coding ('cplb': product
-- categories), e.g. '2,2,3': level-1 codes have 2 characters, level-2 codes 4, level-3 codes 7.
CREATE TABLE xt_coding_scheme (
  scheme        VARCHAR(20) COLLATE TSQL PRIMARY KEY,
  level_lengths VARCHAR(100) COLLATE TSQL NOT NULL
);

-- Stock on hand per product, depot and batch (read by rSTGoodsDepotAmount).
CREATE TABLE st_goods_depot (
  产品ID   INTEGER NOT NULL,
  仓库ID   INTEGER NOT NULL DEFAULT 0,
  批号     NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  数量     FLOAT NOT NULL DEFAULT 0,
  PRIMARY KEY (产品ID, 仓库ID, 批号)
);

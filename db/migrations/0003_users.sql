-- Sign-in to the web host: one password hash per user of xt_user, an Argon2id string as
-- libsodium's crypto_pwhash_str writes it (algorithm, parameters and salt inside). What a
-- user may do stays in xt_user_right. The hash is only ever compared by libsodium, never in SQL.
CREATE TABLE xt_user_login (
  user_name     NVARCHAR(50) COLLATE TSQL PRIMARY KEY,
  password_hash VARCHAR(128) COLLATE TSQL NOT NULL
);

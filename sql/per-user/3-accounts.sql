-- Per-user accounts: the server accounts themselves. Every user has an account named as the
-- Users row (upper case, as the program types it), with a native password, TLS required and
-- the role @ROLE@ as its default role; the role may read and write the views of @DB@ and call
-- the account procedures, nothing else. The procedures refuse a caller who is no administrator.
--
-- The program's client announces neither the 4.1 protocol nor multiple results, and the server
-- refuses to CALL a procedure with dynamic SQL from such a client; so the procedures change
-- the accounts without it: they write the grant tables and reload them. They return no rows.
-- Applied by scripts/setup-db.sh, names replaced as in 1-functions.sql.

CREATE ROLE IF NOT EXISTS '@ROLE@';

USE `@STORE@`;

DELIMITER //

-- The account of a user name: its upper-case form, which must fit the server's account names.
CREATE OR REPLACE FUNCTION vt_account_name(n VARCHAR(400)) RETURNS VARCHAR(400) CHARSET utf8mb4
  DETERMINISTIC NO SQL SQL SECURITY DEFINER
BEGIN
  DECLARE account VARCHAR(400) CHARSET utf8mb4 DEFAULT UPPER(n);
  IF account IS NULL OR account = '' OR CHAR_LENGTH(account) > 128 THEN
    CALL vt_refuse('An account name has 1 to 128 characters.');
  END IF;
  -- The grant tables hold three bytes per character at most.
  IF CONVERT(CONVERT(account USING utf8mb3) USING utf8mb4) <> account COLLATE utf8mb4_bin THEN
    CALL vt_refuse('An account name cannot hold characters beyond the Basic Multilingual Plane.');
  END IF;
  RETURN account;
END//

-- Whether an account is one of this database's user accounts.
CREATE OR REPLACE FUNCTION vt_is_user_account(account VARCHAR(400)) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN EXISTS (SELECT 1 FROM mysql.roles_mapping
               WHERE User = account COLLATE utf8mb4_bin AND Host = '%' AND Role = '@ROLE@')//

-- Creates the account of user n with password p; a one-time password expires at once, so the
-- first statement of the user's first session asks for a new one (error 1820).
CREATE OR REPLACE PROCEDURE vt_account_write(n VARCHAR(400), p VARCHAR(400), one_time BOOLEAN)
  MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE account VARCHAR(400) CHARSET utf8mb4 DEFAULT vt_account_name(n);
  IF p IS NULL OR p = '' THEN CALL vt_refuse('A server account needs a password.'); END IF;
  IF EXISTS (SELECT 1 FROM mysql.global_priv WHERE User = account COLLATE utf8mb4_bin) THEN
    CALL vt_refuse('A server account of that name exists already.');
  END IF;
  INSERT INTO mysql.global_priv (Host, User, Priv) VALUES ('%', account, JSON_OBJECT(
    'access', 0, 'plugin', 'mysql_native_password',
    'authentication_string', CONCAT('*', UPPER(SHA1(UNHEX(SHA1(p))))),
    'ssl_type', 1, 'ssl_cipher', '', 'x509_issuer', '', 'x509_subject', '',
    'max_questions', 0, 'max_updates', 0, 'max_connections', 0, 'max_user_connections', 0,
    'max_statement_time', 0.0, 'password_last_changed', IF(one_time, 0, UNIX_TIMESTAMP()),
    'password_lifetime', -1, 'account_locked', false, 'default_role', '@ROLE@'));
  INSERT INTO mysql.roles_mapping (Host, User, Role, Admin_option) VALUES ('%', account, '@ROLE@', 'N');
  FLUSH PRIVILEGES;
END//

DELIMITER ;

USE `@DB@`;

DELIMITER //

-- User Administration: the account of a new Users row (the row first, in the same
-- transaction), with a one-time password.
CREATE OR REPLACE PROCEDURE vt_account_create(n VARCHAR(400), p VARCHAR(400))
  MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
  CALL `@STORE@`.vt_require_admin();
  -- The row's name must be the account's letter for letter: the column's comparison takes
  -- BÖB for BOB, and such an account would act as BOB wherever a row names its user.
  IF NOT EXISTS (SELECT 1 FROM `@STORE@`.Users
                  WHERE Username = n AND UPPER(Username) = UPPER(n) COLLATE utf8mb4_bin) THEN
    CALL `@STORE@`.vt_refuse('A server account is made for a user of Veltrana only.');
  END IF;
  CALL `@STORE@`.vt_account_write(n, p, TRUE);
END//

-- Set Password: a new one-time password for a user's account.
CREATE OR REPLACE PROCEDURE vt_account_password(n VARCHAR(400), p VARCHAR(400))
  MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE account VARCHAR(400) CHARSET utf8mb4;
  CALL `@STORE@`.vt_require_admin();
  SET account = `@STORE@`.vt_account_name(n);
  IF NOT `@STORE@`.vt_is_user_account(account) THEN
    CALL `@STORE@`.vt_refuse('There is no server account of that user.');
  END IF;
  IF p IS NULL OR p = '' THEN CALL `@STORE@`.vt_refuse('A server account needs a password.'); END IF;
  UPDATE mysql.global_priv
     SET Priv = JSON_SET(Priv, '$.plugin', 'mysql_native_password',
                         '$.authentication_string', CONCAT('*', UPPER(SHA1(UNHEX(SHA1(p))))),
                         '$.password_last_changed', 0)
   WHERE User = account COLLATE utf8mb4_bin AND Host = '%';
  FLUSH PRIVILEGES;
END//

-- Delete User: the account of a deleted Users row (the row first, in the same transaction).
-- The master account stays. An administrator deleting their own row is no administrator any
-- more when the account follows, so the holder of an account whose row is gone may drop it.
CREATE OR REPLACE PROCEDURE vt_account_drop(n VARCHAR(400))
  MODIFIES SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE account VARCHAR(400) CHARSET utf8mb4;
  IF NOT (`@STORE@`.vt_is_me(n) AND NOT EXISTS (SELECT 1 FROM `@STORE@`.Users WHERE Username = n)) THEN
    CALL `@STORE@`.vt_require_admin();
  END IF;
  SET account = `@STORE@`.vt_account_name(n);
  IF account = 'ADMIN' THEN CALL `@STORE@`.vt_refuse('The master account cannot be deleted.'); END IF;
  IF NOT `@STORE@`.vt_is_user_account(account) THEN
    CALL `@STORE@`.vt_refuse('There is no server account of that user.');
  END IF;
  DELETE FROM mysql.roles_mapping WHERE User = account COLLATE utf8mb4_bin AND Host = '%';
  DELETE FROM mysql.global_priv WHERE User = account COLLATE utf8mb4_bin AND Host = '%';
  FLUSH PRIVILEGES;
END//

DELIMITER ;

-- An earlier set-up granted the name unescaped, a pattern that may match the store as well.
DELETE FROM mysql.db WHERE User = '@ROLE@' AND Host = '' AND Db = '@DB@' AND Db <> '@DB_GRANT@';
FLUSH PRIVILEGES;
GRANT SELECT, INSERT, UPDATE, DELETE ON `@DB_GRANT@`.* TO '@ROLE@';
GRANT EXECUTE ON PROCEDURE `@DB@`.vt_account_create TO '@ROLE@';
GRANT EXECUTE ON PROCEDURE `@DB@`.vt_account_password TO '@ROLE@';
GRANT EXECUTE ON PROCEDURE `@DB@`.vt_account_drop TO '@ROLE@';

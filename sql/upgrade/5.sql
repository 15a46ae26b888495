-- Upgrade from version 4 to version 5: who is editing which document, two columns on Users
-- written with the presence stamp. Run by scripts/setup-db.sh --upgrade inside the database.
--
-- One ALTER TABLE adds both columns, run only when they are still missing, so a run that
-- stopped half-way is simply run again. The columns are INVISIBLE: "SELECT *" and
-- "INSERT ... VALUES" without a column list see Users as before, and every row keeps its
-- values (the new columns start NULL: nobody is editing). The version row is written last.

DELIMITER //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'users' AND lower(column_name) = 'editingdocument') THEN
    ALTER TABLE Users
      ADD COLUMN EditingDocument INT NULL INVISIBLE AFTER lastPollRequest,
      ADD COLUMN EditingSince DATETIME NULL INVISIBLE AFTER EditingDocument;
  END IF;
END //

DELIMITER ;

START TRANSACTION;
INSERT INTO schema_version (VersionID, Version) VALUES (1, 5) ON DUPLICATE KEY UPDATE Version = 5;
COMMIT;
